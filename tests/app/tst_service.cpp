// The real program the way a service manager and a user with no desktop run it: headless
// against Dovecot and the NetworkManager mock, one instance per settings file, a clean stop
// on SIGTERM, and a clear refusal when there is no display.
#include "dovecot_fixture.h"
#include "nm_mock.h"
#include "sample_mails.h"

#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using namespace ringlark::test;

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

    // A settings folder for one run: Dovecot, the trigger rules, a one-second interval.
    static void writeSettings(const QString &dir, const QString &server, const QString &entry)
    {
        QSettings ini(dir + QStringLiteral("/TERNCALL.ini"), QSettings::IniFormat);
        const QStringList pairs{
            QStringLiteral("POP3SERVER"),    server,
            QStringLiteral("USERNAME"),      QStringLiteral("ringlark"),
            QStringLiteral("PASSWORD"),      QStringLiteral("secret"),
            QStringLiteral("FROM"),          QStringLiteral("owner@example.com"),
            QStringLiteral("FROM_CHECK"),    QStringLiteral("1"),
            QStringLiteral("SUBJECT"),       QStringLiteral("ring me"),
            QStringLiteral("SUBJECT_CHECK"), QStringLiteral("1"),
            QStringLiteral("DIALUPNETWORK"), entry,
            QStringLiteral("TIMEINTERVAL"),  QStringLiteral("1")};
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
        QVERIFY2(m_nm.start(), qPrintable(m_nm.errorText()));
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

    // Last: it adds mails above the trigger the others expect. With no runtime folder, the
    // program must still store LASTDATE and go on checking; a byte copy of the old trigger
    // and a mail too large to read, delivered above a new trigger, must hide nothing.
    void nothingAboveANewTriggerHidesIt()
    {
        QTemporaryDir config;
        writeSettings(config.path(), m_dovecot.address(), QStringLiteral("Office VPN"));
        Program program(config.path(), QString(), m_nm.busAddress(), {QStringLiteral("--headless")});
        const QString ini = config.filePath(QStringLiteral("TERNCALL.ini"));
        const auto stored = [&ini](const char *key) {
            return QSettings(ini, QSettings::IniFormat)
                .value(QStringLiteral("STARTUP/") + QLatin1StringView(key))
                .toString();
        };
        QTRY_COMPARE_WITH_TIMEOUT(stored("LASTDATE"), QStringLiteral("2026/12/01 10:00:00"), 60000);
        QVERIFY(!stored("LASTUIDL").isEmpty());

        MailSpec trigger;
        trigger.fromAddress = "owner@example.com";
        trigger.subject = "Please ring me";
        trigger.date = "Wed, 2 Dec 2026 01:00:00 +0000"; // 10:00 in Tokyo
        QVERIFY(m_dovecot.addMail(realisticMail(trigger)));
        trigger.date = "Tue, 1 Dec 2026 10:00:00 +0900";
        QVERIFY(m_dovecot.addMail(realisticMail(trigger))); // the first trigger, once more
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
