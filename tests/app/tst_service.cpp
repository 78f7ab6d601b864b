// The real program the way a service manager and a user with no desktop run it: headless
// against Dovecot and the NetworkManager mock, one instance per settings file, a clean stop
// on SIGTERM, and a clear refusal when there is no display.
#include "dovecot_fixture.h"
#include "nm_mock.h"
#include "sample_mails.h"
#include "smtp_fixture.h"

#include <QProcess>
#include <QJsonArray>
#include <QRegularExpression>
#include <QSettings>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace ringlark::test;
using namespace Qt::StringLiterals;

namespace {

// One program started in a private settings folder and runtime folder, with no display.
struct Program
{
    Program(const QString &configDir, const QString &runtimeDir, const QString &bus,
            const QStringList &arguments)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromLatin1(name));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), configDir);
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir);
        env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), bus);
        // The log mirror must reach stderr even where Qt would pick the journal.
        env.insert(QStringLiteral("QT_FORCE_STDERR_LOGGING"), QStringLiteral("1"));
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(RINGLARK_PROGRAM), arguments);
    }
    ~Program()
    {
        process.kill();
        process.waitForFinished();
    }
    QString err()
    {
        errText += QString::fromUtf8(process.readAllStandardError());
        return errText;
    }
    bool endedWith(int status)
    {
        return process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit &&
               process.exitCode() == status;
    }

    QProcess process;
    QString errText;
};

} // namespace

class TestService : public QObject
{
    Q_OBJECT

    NetworkManagerMock m_nm;
    DovecotFixture m_dovecot;
    QTemporaryDir m_runtime;
    static SmtpFixture::Options smtpOptions()
    {
        SmtpFixture::Options options;
        options.user = QStringLiteral("pc");
        options.password = QStringLiteral("smtp-pw");
        return options;
    }
    SmtpFixture m_smtp{smtpOptions()};

    // A settings folder for one run: Dovecot, the trigger rules, a one-second interval.
    static void writeSettings(const QString &dir, const QString &server, const QString &entry,
                              const QStringList &more = {})
    {
        QSettings ini(dir + QStringLiteral("/TERNCALL.ini"), QSettings::IniFormat);
        const QStringList pairs = QStringList{
            QStringLiteral("POP3SERVER"),    server,
            QStringLiteral("USERNAME"),      QStringLiteral("ringlark"),
            QStringLiteral("PASSWORD"),      QStringLiteral("secret"),
            QStringLiteral("FROM"),          QStringLiteral("owner@example.com"),
            QStringLiteral("FROM_CHECK"),    QStringLiteral("1"),
            QStringLiteral("SUBJECT"),       QStringLiteral("ring me"),
            QStringLiteral("SUBJECT_CHECK"), QStringLiteral("1"),
            QStringLiteral("DIALUPNETWORK"), entry,
            QStringLiteral("TIMEINTERVAL"),  QStringLiteral("1")} + more;
        for (qsizetype i = 0; i < pairs.size(); i += 2)
            ini.setValue(QStringLiteral("STARTUP/") + pairs[i], pairs[i + 1]);
        // No AUTOSTART: a headless run monitors whatever it says.
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(DovecotFixture::installed(), "dovecot must be installed (scripts/test does it)");
        QVERIFY2(m_dovecot.start(), qPrintable(m_dovecot.errorText()));
        MailSpec trigger;
        trigger.fromAddress = "owner@example.com";
        trigger.subject = "Please ring me";
        trigger.date = "Tue, 1 Dec 2026 10:00:00 +0900";
        QVERIFY(m_dovecot.addMail(realisticMail(trigger)));
        m_nm.addProfile({QStringLiteral("Office VPN"), QStringLiteral("vpn")});
        m_nm.addProfile({QStringLiteral("Broken VPN"), QStringLiteral("vpn"), 9});
        QVERIFY2(m_nm.start(), qPrintable(m_nm.errorText()));
        QVERIFY2(m_smtp.start(), qPrintable(m_smtp.errorText()));
    }

    void withNoDisplay_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        QTest::newRow("window") << QStringList() << 2 << QString()
                                << QStringLiteral("ringlark: no display found; to run without "
                                                  "one, start it with --headless\n");
        QTest::newRow("version") << QStringList{QStringLiteral("--version")} << 0
                                 << QStringLiteral("RINGLARK " RINGLARK_EXPECTED_VERSION "\n")
                                 << QString();
    }

    void withNoDisplay()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QTemporaryDir config;
        Program program(config.path(), m_runtime.path(), m_nm.busAddress(), arguments);
        QVERIFY(program.endedWith(status));
        QTEST(QString::fromUtf8(program.process.readAllStandardOutput()), "out");
        QTEST(program.err(), "err");
    }

    void headlessDialsStaysAloneAndStopsCleanly()
    {
        QTemporaryDir config;
        writeSettings(config.path(), m_dovecot.address(), QStringLiteral("Office VPN"));
        Program first(config.path(), m_runtime.path(), m_nm.busAddress(),
                      {QStringLiteral("--headless")});
        QTRY_VERIFY_WITH_TIMEOUT(first.err().contains(QStringLiteral("Office VPNへ接続しました。")),
                                 60000);
        QCOMPARE(m_nm.methodCalls(QStringLiteral("ActivateConnection")).size(), 1);

        Program second(config.path(), m_runtime.path(), m_nm.busAddress(),
                       {QStringLiteral("--headless")});
        QVERIFY(second.endedWith(3));
        QVERIFY2(second.err().contains(QStringLiteral("already running")),
                 qPrintable(second.err()));
        QCOMPARE(first.process.state(), QProcess::Running);

        first.process.terminate(); // SIGTERM, as systemctl stop sends
        QVERIFY2(first.endedWith(0), qPrintable(first.err()));
        QSettings ini(config.filePath(QStringLiteral("TERNCALL.ini")), QSettings::IniFormat);
        QCOMPARE(ini.value(QStringLiteral("STARTUP/LASTDATE")).toString(),
                 QStringLiteral("2026/12/01 10:00:00"));
    }

    void aBoxBecomesALogLineAndChecksGoOn()
    {
        QTemporaryDir config;
        writeSettings(config.path(), m_dovecot.address(), QStringLiteral("No such entry"));
        Program program(config.path(), m_runtime.path(), m_nm.busAddress(),
                        {QStringLiteral("--headless")});
        const QString box =
            QStringLiteral("ringlark.log: 設定でダイアルアップネットワークを選択してください");
        const QString check = QStringLiteral("ringlark.status: 状況：サーバーへ問い合わせ中");
        QTRY_VERIFY_WITH_TIMEOUT(program.err().contains(box), 60000);
        QTRY_VERIFY_WITH_TIMEOUT(program.err().indexOf(check, program.err().indexOf(box)) > 0,
                                 30000);
        program.process.terminate();
        QVERIFY(program.endedWith(0));
    }

    // The sender hears what became of the request: after a dial (with the addresses), a
    // failed dial (with the reason), a hang-up by mail and one after HANGUP_AFTER.
    void repliesToTheSender_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("hangUpAfter");
        QTest::addColumn<QStringList>("expected"); // in the first reply's subject, then body
        QTest::addColumn<QString>("secondSubject"); // empty: no second reply
        QTest::newRow("dial, then hang-up by mail")
            << "Office VPN" << ""
            << QStringList{u"Office VPNへ接続しました。"_s, u"アドレス: 10.8.0."_s}
            << "Office VPNを切断しました（メールによる切断）。";
        QTest::newRow("failed dial")
            << "Broken VPN" << ""
            << QStringList{u"接続エラー 9  Broken VPN"_s, u"理由: 9 necessary secrets"_s, u"対処: "_s}
            << "";
        QTest::newRow("hang-up by itself")
            << "Office VPN" << "0.05" << QStringList{u"Office VPNへ接続しました。"_s}
            << "Office VPNを切断しました（接続から0.05分）。";
    }
    void repliesToTheSender()
    {
        QFETCH(QString, entry);
        QFETCH(QString, hangUpAfter);
        QFETCH(QStringList, expected);
        QFETCH(QString, secondSubject);
        for (const QString &active : m_nm.activeConnections())
            m_nm.deactivate(active);
        m_nm.clearCalls();
        DovecotFixture dovecot;
        QVERIFY2(dovecot.start(), qPrintable(dovecot.errorText()));
        MailSpec trigger;
        trigger.fromAddress = "owner@example.com";
        trigger.subject = "Please ring me";
        trigger.date = "Tue, 1 Dec 2026 10:00:00 +0900";
        const QByteArray mail = realisticMail(trigger);
        QVERIFY(dovecot.addMail(mail));
        const QByteArray messageId = mail.mid(mail.indexOf("Message-ID: ") + 12).split('\r').first();

        QTemporaryDir config;
        writeSettings(config.path(), dovecot.address(), entry,
                      {u"REPLY_CHECK"_s, u"1"_s, u"REPLY_FROM"_s, u"pc@example.com"_s,
                       u"SMTPSERVER"_s, u"smtp://127.0.0.1:%1"_s.arg(m_smtp.port()),
                       u"SMTPUSER"_s, u"pc"_s, u"SMTPPASSWORD"_s, u"smtp-pw"_s,
                       u"HANGUP_SUBJECT"_s, u"hang up"_s, u"HANGUP_AFTER"_s, hangUpAfter});
        const qsizetype before = m_smtp.mails().size();
        Program program(config.path(), m_runtime.path(), m_nm.busAddress(),
                        {QStringLiteral("--headless")});
        QTRY_VERIFY2_WITH_TIMEOUT(m_smtp.mails().size() > before, qPrintable(program.err()), 60000);
        const SmtpFixture::Mail reply = m_smtp.mails().at(before);
        const QString subject = reply.info[u"subject"_s].toString();
        const QString body = reply.info[u"body"_s].toString();
        QCOMPARE(reply.info[u"rcpt_tos"_s].toArray().first().toString(), u"owner@example.com"_s);
        QVERIFY(reply.info[u"auth"_s].toBool() && !reply.info[u"date"_s].toString().isEmpty());
        QVERIFY2(subject.startsWith(QStringLiteral("RINGLARK: ")) && subject.contains(expected.first()),
                 qPrintable(subject));
        for (const QString &part : expected.sliced(1))
            QVERIFY2(body.contains(part), qPrintable(body));
        QVERIFY(body.contains(QStringLiteral("ホスト名: ") + QSysInfo::machineHostName()));
        QVERIFY(!body.contains(QRegularExpression(u"\\bsecret\\b"_s)) && !body.contains(u"smtp-pw"_s));
        for (const QByteArray &field : {"In-Reply-To: " + messageId, "References: " + messageId,
                                        QByteArray("Auto-Submitted: auto-replied")})
            QVERIFY2(reply.raw.contains(field + "\r\n"), reply.raw.constData());

        if (secondSubject.contains(u"メール"_s)) { // a hang-up by mail
            trigger.subject = "Please ring me: hang up";
            trigger.date = "Tue, 1 Dec 2026 11:00:00 +0900";
            QVERIFY(dovecot.addMail(realisticMail(trigger)));
        }
        if (!secondSubject.isEmpty()) {
            QTRY_VERIFY2_WITH_TIMEOUT(m_smtp.mails().size() > before + 1, qPrintable(program.err()),
                                      60000);
            const QString second = m_smtp.mails().at(before + 1).info[u"subject"_s].toString();
            QVERIFY2(second.contains(secondSubject), qPrintable(second));
            QCOMPARE(m_nm.methodCalls(QStringLiteral("DeactivateConnection")).size(), 1);
            QVERIFY(m_nm.activeConnections().isEmpty());
        }
        program.process.terminate();
        QVERIFY(program.endedWith(0));
        QCOMPARE(m_smtp.mails().size(), before + (secondSubject.isEmpty() ? 1 : 2));
    }
};

QTEST_GUILESS_MAIN(TestService)
#include "tst_service.moc"
