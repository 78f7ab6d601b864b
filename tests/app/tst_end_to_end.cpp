// The whole program against real peers: the real session against Dovecot (or the scripted
// server), the real WinInet with the NetworkManager provider against the mock on a private
// bus, and the settings in a temporary INI file. The check interval is 1 second.
#include "app_rig.h"
#include "dovecot_fixture.h"
#include "networkmanager_provider.h"
#include "nm_mock.h"
#include "pop3_session.h"
#include "sample_mails.h"
#include "scripted_pop3_server.h"
#include "tcp_socket.h"
#include "totp.h"

#include <QFile>
#include <QPushButton>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>
#include <QTimer>

using namespace ringlark;
using namespace ringlark::test;

namespace {

const QByteArray kOwner = "owner@example.com";
const QByteArray kTriggerDate = "Tue, 1 Dec 2026 10:00:00 +0900";
const QString kTriggerDateText = QStringLiteral("2026/12/01 10:00:00");

QByteArray mail(const QByteArray &from, const QByteArray &subject, const QByteArray &date)
{
    MailSpec mailSpec;
    mailSpec.fromAddress = from;
    mailSpec.subject = subject;
    mailSpec.date = date;
    return realisticMail(mailSpec);
}

// One program run: its settings in a private INI file, fake boxes and clock, the real
// dial-up provider; Timer1's intervals pass at once until the first check has run.
AppRig::Options programWith(const QMap<QString, QString> &settings)
{
    QMap<QString, QString> all{{QStringLiteral("USERNAME"), QStringLiteral("ringlark")},
                               {QStringLiteral("PASSWORD"), QStringLiteral("secret")},
                               {QStringLiteral("FROM"), QString::fromLatin1(kOwner)},
                               {QStringLiteral("FROM_CHECK"), QStringLiteral("1")},
                               {QStringLiteral("SUBJECT"), QStringLiteral("ring me")},
                               {QStringLiteral("SUBJECT_CHECK"), QStringLiteral("1")},
                               {QStringLiteral("DIALUPNETWORK"), QStringLiteral("Office VPN")},
                               {QStringLiteral("TIMEINTERVAL"), QStringLiteral("1")}};
    all.insert(settings);
    return {.stored = all,
            .ini = true,
            .dialUp = std::make_unique<NetworkManagerProvider>(QDBusConnection::systemBus(),
                                                              fakeTimers()),
            .fakeTimers = true,
            .checks = 1};
}

} // namespace

class TestEndToEnd : public QObject
{
    Q_OBJECT

    NetworkManagerMock m_nm;
    std::unique_ptr<DovecotFixture> m_dovecot;

    int activations() const
    {
        return static_cast<int>(m_nm.methodCalls(QStringLiteral("ActivateConnection")).size());
    }
    QString activatedProfile() const
    {
        const auto calls = m_nm.methodCalls(QStringLiteral("ActivateConnection"));
        return calls.isEmpty() ? QString() : calls.first().args.value(0).toString();
    }
    void startDovecot(const QList<QByteArray> &mails)
    {
        m_dovecot = std::make_unique<DovecotFixture>();
        QVERIFY2(m_dovecot->start(), qPrintable(m_dovecot->errorText()));
        for (const QByteArray &m : mails)
            QVERIFY(m_dovecot->addMail(m));
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(DovecotFixture::installed(), "dovecot must be installed (scripts/test does it)");
        m_nm.addProfile({QStringLiteral("Home Ethernet"), QStringLiteral("802-3-ethernet")});
        m_nm.addProfile({QStringLiteral("Office VPN"), QStringLiteral("vpn")});
        NetworkManagerMock::Profile broken{QStringLiteral("Broken VPN"), QStringLiteral("vpn")};
        broken.failReason = 10;
        m_nm.addProfile(broken);
        NetworkManagerMock::Profile slow{QStringLiteral("Slow VPN"), QStringLiteral("vpn")};
        slow.delayMs = 2000;
        m_nm.addProfile(slow);
        QVERIFY2(m_nm.start(), qPrintable(m_nm.errorText()));
        // Before anything touches the system bus.
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", m_nm.busAddress().toUtf8());
    }

    void init() { m_nm.clearCalls(); }

    void cleanup()
    {
        for (const QString &active : m_nm.activeConnections())
            m_nm.deactivate(active);
        m_dovecot.reset();
    }

    void a_new_trigger_mail_dials_once_and_moves_lastdate()
    {
        // The trigger sits below a newer, DKIM-signed mail that is not a trigger.
        startDovecot(
            {mail("someone@example.net", "lunch?", "Mon, 30 Nov 2026 12:00:00 +0900"),
             mail(kOwner, "Please ring me", kTriggerDate),
             mail("alerts@bank.example.org", "Statement", "Wed, 2 Dec 2026 06:00:00 +0900")});
        AppRig run(programWith({{QStringLiteral("POP3SERVER"), m_dovecot->address()}}));
        QTest::mouseClick(run.cmdStart(), Qt::LeftButton);

        QTRY_COMPARE_WITH_TIMEOUT(run.checks, 1, 15000);
        QCOMPARE(activations(), 1);
        QCOMPARE(activatedProfile(), m_nm.profilePath(QStringLiteral("Office VPN")));
        QCOMPARE(run.logLines().mid(1, 2),
                 (QStringList{QStringLiteral("接続中です"),
                              QStringLiteral("12/07 21:05 Office VPNへ接続しました。")}));
        QVERIFY(run.logLines().value(3).startsWith(QStringLiteral("アドレス: 10.8.0.")));
        QVERIFY2(run.iniText().contains(QStringLiteral("LASTDATE=") + kTriggerDateText),
                 qPrintable(run.iniText()));
        QCOMPARE(run.state.session.TriggerFlag, TriggerFlag::Stop);
        QCOMPARE(run.core->eventLog().status(), QStringLiteral("状況：アイドル"));
        QVERIFY(run.statuses.contains(QStringLiteral("状況：サーバーへ問い合わせ中")));

        // The next checks find the same mail and do not dial again.
        run.runChecks(3);
        QTRY_COMPARE_WITH_TIMEOUT(run.checks, 3, 15000);
        QCOMPARE(activations(), 1);
        QCOMPARE(run.logLines().size(), 4);
    }

    void a_forged_trigger_above_the_genuine_one_is_passed_over()
    {
        // The owner's phone holds the RFC 6238 test secret; the provider writes its verdict
        // on top of each header. The newer, forged mail copies the owner's address and code,
        // and writes a passing verdict of its own below the provider's failing one.
        const QDateTime sent(QDate(2026, 12, 1), QTime(1, 0), Qt::UTC); // kTriggerDate
        const qint64 step = totpStep(sent);
        const QByteArray subject = "ring me " + totpCode("12345678901234567890", step).toLatin1();
        const QByteArray pass =
            "Authentication-Results: mx.example.net;\r\n"
            " dkim=pass header.d=example.com; dmarc=pass header.from=example.com\r\n";
        startDovecot(
            {pass + mail(kOwner, subject, kTriggerDate),
             "Authentication-Results: mx.example.net; dmarc=fail header.from=example.com\r\n" +
                 pass + mail(kOwner, subject, "Wed, 2 Dec 2026 10:00:00 +0900")});
        AppRig run(programWith(
            {{QStringLiteral("POP3SERVER"), m_dovecot->address()},
             {QStringLiteral("TOTP_CHECK"), QStringLiteral("1")},
             {QStringLiteral("TOTP_SECRET"), QStringLiteral("gezdgnbvgy3tqojqgezdgnbvgy3tqojq")},
             {QStringLiteral("AUTH_CHECK"), QStringLiteral("1")},
             {QStringLiteral("AUTH_SERVID"), QStringLiteral("MX.example.net")}}));
        // A code counts only in a mail dated near the clock: the owner's was sent just now.
        run.fakes.clock.current = sent.addSecs(300).toLocalTime();
        run.core->checkCycle().startCommand();

        QTRY_COMPARE_WITH_TIMEOUT(run.checks, 1, 15000);
        QCOMPARE(activations(), 1);
        const QString forged =
            QStringLiteral("、コールバックメール（2026/12/02 10:00:00）を無視しました");
        QCOMPARE(run.logLines().mid(1, 3),
                 (QStringList{QStringLiteral("ワンタイムコードが違うため") + forged,
                              QStringLiteral("送信者を確認できないため") + forged,
                              QStringLiteral("接続中です")}));
        QVERIFY(run.iniText().contains(QStringLiteral("TOTP_LASTSTEP=") + QString::number(step)));
        QCOMPARE(run.state.session.SessionNewestAuthservIds,
                 QStringList{QStringLiteral("mx.example.net")});

        // Later checks meet the forged mail again as the newest one: no new lines, no dial.
        const qsizetype lines = run.logLines().size();
        run.runChecks(3);
        QTRY_COMPARE_WITH_TIMEOUT(run.checks, 3, 15000);
        QCOMPARE(activations(), 1);
        QCOMPARE(run.logLines().size(), lines);
    }

    void the_window_lives_on_while_a_slow_connection_comes_up()
    {
        startDovecot({mail(kOwner, "ring me", kTriggerDate)});
        AppRig run(programWith({{QStringLiteral("POP3SERVER"), m_dovecot->address()},
                                {QStringLiteral("DIALUPNETWORK"), QStringLiteral("Slow VPN")}}));
        // A timer of the window's thread, counted while the check waits for the dial.
        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, this, [&ticks] { ++ticks; });
        ticker.start(50);
        int ticksAtDial = -1;
        QObject::connect(&run.core->eventLog(), &EventLog::statusChanged, this,
                         [&](const QString &s) {
                             if (s == QStringLiteral("状況：チェック中"))
                                 ticksAtDial = ticks;
                         });
        run.core->checkCycle().startCommand();
        QTRY_COMPARE_WITH_TIMEOUT(run.checks, 1, 15000);
        QVERIFY2(ticks - ticksAtDial >= 10, qPrintable(QString::number(ticks - ticksAtDial)));
        // What the user sees comes in the order it always did.
        QCOMPARE(run.statuses.mid(run.statuses.indexOf(QStringLiteral("状況：チェック中"))),
                 (QStringList{QStringLiteral("状況：チェック中"), QStringLiteral("状況：アイドル")}));
        QCOMPARE(run.logLines().mid(1, 2), (QStringList{
                                               QStringLiteral("接続中です"),
                                            QStringLiteral("12/07 21:05 Slow VPNへ接続しました。")}));
        QVERIFY(run.iniText().contains(QStringLiteral("LASTDATE=") + kTriggerDateText));
    }

    void a_trigger_as_old_as_lastdate_does_not_dial()
    {
        startDovecot({mail(kOwner, "ring me", kTriggerDate)});
        AppRig run(programWith({{QStringLiteral("POP3SERVER"), m_dovecot->address()},
                                {QStringLiteral("LASTDATE"), kTriggerDateText}}));
        run.core->checkCycle().startCommand();
        run.runChecks(2);
        QTRY_COMPARE_WITH_TIMEOUT(run.checks, 2, 15000);
        QCOMPARE(activations(), 0);
        QVERIFY(run.state.session.TriggerFlag != TriggerFlag::Start);
        QVERIFY(run.iniText().contains(QStringLiteral("LASTDATE=") + kTriggerDateText));
    }

    void a_failed_activation_is_logged_and_tried_again()
    {
        startDovecot({mail(kOwner, "ring me", kTriggerDate)});
        AppRig run(programWith({{QStringLiteral("POP3SERVER"), m_dovecot->address()},
                                {QStringLiteral("DIALUPNETWORK"), QStringLiteral("Broken VPN")}}));
        run.core->checkCycle().startCommand();
        QTRY_COMPARE_WITH_TIMEOUT(run.checks, 1, 15000);
        QCOMPARE(run.logLines().last(), QStringLiteral("接続エラー 10  Broken VPN"));
        // The owner's request is kept: the next check finds the mail and dials again.
        QVERIFY(!run.iniText().contains(QStringLiteral("LASTDATE=")));
        run.runChecks(2);
        QTRY_COMPARE_WITH_TIMEOUT(run.checks, 2, 15000);
        QCOMPARE(activations(), 2);
    }

    void no_entry_chosen_shows_one_box_and_keeps_the_request()
    {
        startDovecot({mail(kOwner, "ring me", kTriggerDate)});
        AppRig run(programWith({{QStringLiteral("POP3SERVER"), m_dovecot->address()},
                                {QStringLiteral("DIALUPNETWORK"), QString()}}));
        run.core->checkCycle().startCommand();
        // The box stays open; the checks go on meanwhile, and show no second box.
        run.runChecks(2);
        QTRY_COMPARE_WITH_TIMEOUT(run.checks, 2, 15000);
        QCOMPARE(run.fakes.boxes.texts(),
                 QStringList{QStringLiteral("設定でダイアルアップネットワークを選択してください")});
        QVERIFY(!run.iniText().contains(QStringLiteral("LASTDATE=")));
        QCOMPARE(activations(), 0);
    }

    void a_profile_made_after_start_up_is_dialled()
    {
        startDovecot({mail(kOwner, "ring me", kTriggerDate)});
        AppRig run(programWith({{QStringLiteral("POP3SERVER"), m_dovecot->address()},
                                {QStringLiteral("DIALUPNETWORK"), QStringLiteral("Late VPN")}}));
        QTRY_VERIFY(!run.state.entries.items().isEmpty()); // start-up's listing
        QVERIFY(!run.state.entries.items().contains(QStringLiteral("Late VPN")));
        const QString profile = m_nm.addProfileNow(QStringLiteral("Late VPN"), QStringLiteral("vpn"));
        QVERIFY(!profile.isEmpty());
        run.core->checkCycle().startCommand();
        QTRY_COMPARE_WITH_TIMEOUT(run.checks, 1, 15000);
        QVERIFY(run.fakes.boxes.shown.isEmpty());
        QCOMPARE(activatedProfile(), profile);
        QVERIFY(run.iniText().contains(QStringLiteral("LASTDATE=") + kTriggerDateText));
    }

    void a_manual_find_then_an_older_walk_keeps_the_trigger_date()
    {
        startDovecot({mail("someone@example.net", "ring me", "Sun, 1 Nov 2026 08:00:00 +0900"),
                      mail(kOwner, "ring me", kTriggerDate)});
        AppRig run(programWith({{QStringLiteral("POP3SERVER"), m_dovecot->address()}}));
        // A session started from the POP3 window's own button finds the trigger...
        run.core->pop3Session().Command1_Click();
        QTRY_COMPARE_WITH_TIMEOUT(run.state.session.TriggerFlag, TriggerFlag::Start, 10000);
        QCOMPARE(activations(), 0); // ...but only the next tick dials.
        // Meanwhile the sender setting changes: the tick's own session walks past the trigger
        // down to the older mail, whose date is the last one examined.
        run.state.settings.FromAddress = QStringLiteral("nobody@example.org");
        run.core->checkCycle().startCommand();
        QTRY_COMPARE_WITH_TIMEOUT(run.checks, 1, 15000);
        QCOMPARE(activations(), 1);
        QVERIFY2(run.iniText().contains(QStringLiteral("LASTDATE=") + kTriggerDateText),
                 qPrintable(run.iniText()));
    }

    void stop_while_the_server_is_silent()
    {
        ScriptedPop3Server server;
        server.silent = true;
        QVERIFY(server.listen());
        AppRig run(programWith({{QStringLiteral("POP3SERVER"), server.address()}}));
        QTest::mouseClick(run.cmdStart(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(run.core->eventLog().status(),
                                  QStringLiteral("状況：サーバーへ問い合わせ中"), 5000);
        QTest::mouseClick(run.cmdStart(), Qt::LeftButton);
        QTRY_COMPARE(run.checks, 1);
        QCOMPARE(run.core->eventLog().status(), QStringLiteral("状況：停止中"));
        QCOMPARE(run.cmdStart()->text(), QStringLiteral("開始"));

        // The watchdog then ends the abandoned session; monitoring stays off, and the status
        // keeps saying so: the server did nothing wrong.
        QVERIFY(run.watchdog().fire());
        QCOMPARE(run.state.session.SessionStep, SessionStep::Quit);
        QCOMPARE(run.core->eventLog().status(), QStringLiteral("状況：停止中"));
        QCOMPARE(server.connections, 1);
        QCOMPARE(run.checks, 1);
        QVERIFY(!run.core->checkCycle().timer().isActive());
        QCOMPARE(activations(), 0);
    }

    void an_unreachable_server_shows_one_box_and_checking_goes_on()
    {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const quint16 port = closed.serverPort();
        closed.close();
        AppRig run(programWith(
            {{QStringLiteral("POP3SERVER"), QStringLiteral("127.0.0.1:%1").arg(port)}}));
        // Each refused connection is left to the watchdog, whose time then passes.
        connect(&run.core->pop3Session().socket(), &TcpSocket::errorOccurred, this, [&run] {
            QTimer::singleShot(0, &run.watchdog(), [&run] { run.watchdog().fire(); });
        });
        run.core->checkCycle().startCommand();
        run.runChecks(3);
        QTRY_COMPARE_WITH_TIMEOUT(run.checks, 3, 15000);
        // The box stays open overnight; later errors do not pile up more boxes.
        QCOMPARE(run.fakes.boxes.shown.size(), 1);
        QVERIFY(run.fakes.boxes.shown.first().text.startsWith(QStringLiteral("ERR(")));
        QVERIFY(run.statuses.contains(QStringLiteral("状況：メールサーバーが応答しません")));
        QCOMPARE(run.core->eventLog().status(), QStringLiteral("状況：アイドル"));
        QCOMPARE(activations(), 0);
    }

    void exit_during_a_check_ends_at_once()
    {
        ScriptedPop3Server server;
        server.silentAfterGreeting = true;
        server.messages = {mail(kOwner, "ring me", kTriggerDate)};
        QVERIFY(server.listen());
        AppRig run(programWith({{QStringLiteral("POP3SERVER"), server.address()}}));
        const QString before = run.iniText();
        run.state.session.TriggerFlag = TriggerFlag::Start; // found by an earlier session
        run.state.session.TriggerFoundDate =
            QDateTime(QDate(2026, 12, 1), QTime(10, 0, 0), Qt::UTC);
        run.core->checkCycle().startCommand();
        QTRY_COMPARE_WITH_TIMEOUT(run.core->eventLog().status(),
                                  QStringLiteral("状況：サーバーへ問い合わせ中"), 5000);
        const QString logBefore = run.core->eventLog().text();
        run.trigger("MENUEND");
        QCOMPARE(run.ended, 1);
        // The watchdog ends the session; no tick follows.
        QVERIFY(run.watchdog().fire());
        QVERIFY(!run.core->pop3Session().isRunning());
        QVERIFY(!run.timer1().fire());
        QCOMPARE(run.checks, 0);
        QCOMPARE(activations(), 0);
        QCOMPARE(run.iniText(), before);
        QCOMPARE(run.core->eventLog().text(), logBefore);
    }
};

QTEST_MAIN(TestEndToEnd)
#include "tst_end_to_end.moc"
