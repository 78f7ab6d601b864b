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
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

using namespace ringlark::test;
using namespace Qt::StringLiterals;

namespace {

// The owner's request, which every run finds first.
const MailSpec kTrigger{.fromAddress = "owner@example.com",
                        .subject = "Please ring me",
                        .date = "Tue, 1 Dec 2026 10:00:00 +0900"};

// One program started in a private settings folder and runtime folder, with no display.
struct Program
{
    Program(const QString &configDir, const QString &runtimeDir, const QString &bus,
            const QStringList &arguments, const QStringList &extraEnv = {})
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name :
             {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "QT_LOGGING_RULES"})
            env.remove(QString::fromLatin1(name));
        for (const QString &pair : extraEnv)
            env.insert(pair.section(u'=', 0, 0), pair.section(u'=', 1));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), configDir);
        if (runtimeDir.isEmpty()) // cron, su, a container: the lock goes beside the settings
            env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        else
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

    // A settings folder for one run: Dovecot, the trigger rules, a one-second interval;
    // `change` ("KEY=value") puts another value over one of those.
    void writeSettings(const QString &dir, const QString &change = {}) const
    {
        QSettings ini(dir + QStringLiteral("/TERNCALL.ini"), QSettings::IniFormat);
        const QString pairs = QStringLiteral("POP3SERVER=%1|USERNAME=ringlark|PASSWORD=secret|"
                                             "FROM=owner@example.com|FROM_CHECK=1|SUBJECT=ring me|"
                                             "SUBJECT_CHECK=1|DIALUPNETWORK=Office VPN|"
                                             "TIMEINTERVAL=1|")
                                  .arg(m_dovecot.address()) +
                              change;
        for (const QString &pair : pairs.split(u'|', Qt::SkipEmptyParts))
            ini.setValue(QStringLiteral("STARTUP/") + pair.section(u'=', 0, 0),
                         pair.section(u'=', 1));
        // No AUTOSTART: a headless run monitors whatever it says.
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(DovecotFixture::installed(), "dovecot must be installed (scripts/test does it)");
        QVERIFY2(m_dovecot.start(), qPrintable(m_dovecot.errorText()));
        QVERIFY(m_dovecot.addMail(realisticMail(kTrigger)));
        m_nm.addProfile({QStringLiteral("Office VPN"), QStringLiteral("vpn")});
        m_nm.addProfile({QStringLiteral("Broken VPN"), QStringLiteral("vpn"), 10});
        m_nm.addProfile({QStringLiteral("Secretless VPN"), QStringLiteral("vpn"), 9});
        QVERIFY2(m_nm.start(), qPrintable(m_nm.errorText()));
        QVERIFY2(m_smtp.start(), qPrintable(m_smtp.errorText()));
    }

    void withNoDisplay_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("env");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        const QString hint = QStringLiteral("; to run without one, start it with --headless\n");
        QTest::newRow("window") << QStringList() << QStringList() << 2 << QString()
                                << QStringLiteral("ringlark: no display found") + hint;
        // Set, but nothing answers there: Qt would abort.
        QTest::newRow("stale DISPLAY")
            << QStringList() << QStringList{QStringLiteral("DISPLAY=:247")} << 2 << QString()
            << QStringLiteral("ringlark: cannot open the display (DISPLAY=:247)") + hint;
        QTest::newRow("stale WAYLAND_DISPLAY")
            << QStringList() << QStringList{QStringLiteral("WAYLAND_DISPLAY=wayland-247")} << 2
            << QString()
            << QStringLiteral("ringlark: cannot open the display (WAYLAND_DISPLAY=wayland-247)") +
                   hint;
        QTest::newRow("version") << QStringList{QStringLiteral("--version")} << QStringList() << 0
                                 << QStringLiteral("RINGLARK " RINGLARK_EXPECTED_VERSION "\n")
                                 << QString();
    }

    void withNoDisplay()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, env);
        QFETCH(int, status);
        QTemporaryDir config;
        Program program(config.path(), m_runtime.path(), m_nm.busAddress(), arguments, env);
        QVERIFY(program.endedWith(status));
        QTEST(QString::fromUtf8(program.process.readAllStandardOutput()), "out");
        QTEST(program.err(), "err");
    }

    void headlessDialsStaysAloneAndStopsCleanly()
    {
        QTemporaryDir config;
        writeSettings(config.path());
        Program first(config.path(), m_runtime.path(), m_nm.busAddress(),
                      {QStringLiteral("--headless")});
        QTRY_VERIFY_WITH_TIMEOUT(first.err().contains(QStringLiteral("Office VPNへ接続しました。")),
                                 60000);
        QCOMPARE(m_nm.methodCalls(QStringLiteral("ActivateConnection")).size(), 1);
        // Only the log by default: status texts, three per check, stay out of the journal.
        QVERIFY2(!first.err().contains(QStringLiteral("ringlark.status")), qPrintable(first.err()));

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

    // A lasting failure is logged once, a refused connection does not wait for the watchdog,
    // and with nothing to do the program says why and ends with status 4.
    void headlessRun_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<int>("status"); // 4: ends by itself; 0: runs checks until stopped
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("lines"); // how many lines hold text
        QTcpServer closed; // a port nothing listens on
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const QString refused = QStringLiteral("POP3SERVER=127.0.0.1:%1").arg(closed.serverPort());
        closed.close();
        const QString interval = QStringLiteral("では監視できません");
        // The box's line and the failure's line, one each.
        QTest::newRow("refused") << refused << 0 << QStringLiteral("ERR(0;Connection refused)") << 2;
        QTest::newRow("TLS to a plain server")
            << QStringLiteral("POP3SERVER=pop3s://") + m_dovecot.address() << 0
            << QStringLiteral("ERR(") << 2;
        QTest::newRow("unreadable server")
            << QStringLiteral("POP3SERVER=pop.example.jp:99999") << 0 << QStringLiteral("ERR(106;")
            << 2;
        QTest::newRow("no profile chosen")
            << QStringLiteral("DIALUPNETWORK=") << 0
            << QStringLiteral("設定でダイアルアップネットワークを選択してください") << 1;
        QTest::newRow("profile gone") << QStringLiteral("DIALUPNETWORK=Gone VPN") << 0
                                      << QStringLiteral("ダイアルアップネットワーク「Gone VPN」")
                                      << 1;
        QTest::newRow("dial fails") << QStringLiteral("DIALUPNETWORK=Broken VPN") << 0
                                    << QStringLiteral("接続エラー 10  Broken VPN") << 1;
        QTest::newRow("no server") << QStringLiteral("POP3SERVER=") << 4
                                   << QStringLiteral("メールサーバーが設定されていません") << 1;
        QTest::newRow("interval 0") << QStringLiteral("TIMEINTERVAL=0") << 4 << interval << 1;
        QTest::newRow("negative") << QStringLiteral("TIMEINTERVAL=-5") << 4 << interval << 1;
        QTest::newRow("no number") << QStringLiteral("TIMEINTERVAL=soon") << 4 << interval << 1;
    }

    void headlessRun()
    {
        QFETCH(QString, change);
        QFETCH(int, status);
        QTemporaryDir config;
        writeSettings(config.path(), change);
        Program program(config.path(), m_runtime.path(), m_nm.busAddress(),
                        {QStringLiteral("--headless")},
                        {QStringLiteral("QT_LOGGING_RULES=ringlark.status.info=true")});
        if (status == 0) {
            // Five checks: with the watchdog's 20 s per failed check, over a minute and a half.
            QTRY_VERIFY_WITH_TIMEOUT(program.err().count(QStringLiteral("状況：アイドル")) >= 5,
                                     30000);
            program.process.terminate();
        }
        QVERIFY2(program.endedWith(status), qPrintable(program.err()));
        QFETCH(QString, text);
        QTEST(int(program.err().split(u'\n').filter(text).size()), "lines");
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
            << "Secretless VPN" << ""
            << QStringList{u"接続エラー 9  Secretless VPN"_s, u"理由: 9 necessary secrets"_s, u"対処: "_s}
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
        MailSpec trigger = kTrigger;
        const QByteArray mail = realisticMail(trigger);
        QVERIFY(dovecot.addMail(mail));
        const QByteArray messageId = mail.mid(mail.indexOf("Message-ID: ") + 12).split('\r').first();

        QTemporaryDir config;
        writeSettings(config.path(),
                      u"POP3SERVER=%1|DIALUPNETWORK=%2|REPLY_CHECK=1|REPLY_FROM=pc@example.com|"
                      "SMTPSERVER=smtp://127.0.0.1:%3|SMTPUSER=pc|SMTPPASSWORD=smtp-pw|"
                      "HANGUP_SUBJECT=hang up|HANGUP_AFTER=%4"_s.arg(dovecot.address(), entry)
                          .arg(m_smtp.port())
                          .arg(hangUpAfter));
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

    // Last: it adds mails above the trigger the others expect. With no runtime folder, the
    // program must still store LASTDATE and go on checking; a byte copy of the old trigger
    // and a mail too large to read, delivered above a new trigger, must hide nothing.
    void nothingAboveANewTriggerHidesIt()
    {
        QTemporaryDir config;
        writeSettings(config.path());
        Program program(config.path(), QString(), m_nm.busAddress(), {QStringLiteral("--headless")});
        const QString ini = config.filePath(QStringLiteral("TERNCALL.ini"));
        const auto stored = [&ini](const char *key) {
            return QSettings(ini, QSettings::IniFormat)
                .value(QStringLiteral("STARTUP/") + QLatin1StringView(key))
                .toString();
        };
        QTRY_COMPARE_WITH_TIMEOUT(stored("LASTDATE"), QStringLiteral("2026/12/01 10:00:00"), 60000);
        QTRY_VERIFY(!stored("LASTUIDL").isEmpty()); // stored after LASTDATE, as the tick ends

        MailSpec trigger = kTrigger;
        trigger.date = "Wed, 2 Dec 2026 01:00:00 +0000"; // 10:00 in Tokyo
        QVERIFY(m_dovecot.addMail(realisticMail(trigger)));
        QVERIFY(m_dovecot.addMail(realisticMail(kTrigger))); // the first trigger, once more
        QByteArray giant = "Date: Thu, 3 Dec 2026 10:00:00 +0900\r\n";
        for (int i = 0; i < 70000; ++i)
            giant += "X-Filler: " + QByteArray::number(i) + "\r\n";
        QVERIFY(m_dovecot.addMail(giant + "Subject: big\r\n\r\nbody\r\n"));

        QTRY_COMPARE_WITH_TIMEOUT(stored("LASTDATE"), QStringLiteral("2026/12/02 10:00:00"), 60000);
        const QString skipped = QStringLiteral("（2026/12/03 10:00:00、");
        QTRY_VERIFY_WITH_TIMEOUT(program.err().contains(skipped), 10000);
        program.process.terminate();
        QVERIFY2(program.endedWith(0), qPrintable(program.err()));
        QCOMPARE(program.err().count(skipped), 1); // once, though every check meets it
    }
};

QTEST_GUILESS_MAIN(TestService)
#include "tst_service.moc"
