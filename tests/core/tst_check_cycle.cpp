#include "check_cycle.h"

#include "app_state.h"
#include "auto_hang_up.h"
#include "date_text.h"
#include "event_log.h"
#include "fake_timer.h"
#include "fakes.h"

#include <QSignalSpy>
#include <QTest>

using namespace ringlark;
using namespace ringlark::test;

namespace {

// The check cycle with a scripted session: each tick's "session" does what the test says.
struct Cycle
{
    Cycle()
    {
        state.settings.load(store);
        state.settings.TimeInterval = QStringLiteral("0.05");
        cycle.setSessionStarter([this] {
            ++sessions;
            state.session.SessionStep = SessionStep::Connect;
            if (onSession)
                onSession();
        });
        cycle.setDialCommand([this](std::function<void(bool)> done) {
            dialledWithStatus.append(log.status());
            if (onDial)
                onDial(std::move(done));
            else
                done(dialConnects);
        });
        cycle.setClock(clock);
    }

    // One tick at the given clock, run to its end.
    void tickAt(const QDateTime &time)
    {
        clock.current = time;
        QVERIFY(timer.fire());
        QTRY_COMPARE(cycle.state(), CheckCycle::State::Idle);
    }

    void endSession(TriggerFlag flag = TriggerFlag::None, const QDateTime &found = {})
    {
        if (flag != TriggerFlag::None)
            state.session.TriggerFlag = flag;
        if (found.isValid())
            state.session.TriggerFoundDate = found;
        state.session.SessionStep = SessionStep::Quit;
        cycle.sessionStepChanged();
    }

    FakeSettingsStore store;
    FakeClock clock;
    bool dialConnects = true;
    AppState state;
    EventLog log;
    FakeTimer timer;
    CheckCycle cycle{state, log, store, timer};
    int sessions = 0;
    QStringList dialledWithStatus;
    std::function<void()> onSession;
    std::function<void(std::function<void(bool)> done)> onDial;
};

const QDateTime kMailDate = asWritten(QDate(2004, 9, 25), QTime(9, 0, 0));

} // namespace

class TestCheckCycle : public QObject
{
    Q_OBJECT
private slots:
    void a_new_trigger_dials_and_moves_lastdate()
    {
        Cycle c;
        QSignalSpy finished(&c.cycle, &CheckCycle::checkFinished);
        c.cycle.startCommand();
        QCOMPARE(c.timer.interval, 1000); // 0.05 s: under a second counts as one
        QVERIFY(c.timer.fire());
        QCOMPARE(c.sessions, 1);
        QVERIFY(!c.timer.isActive()); // step 1: no second tick during the check
        QCOMPARE(c.log.status(), QStringLiteral("状況：サーバーへ問い合わせ中"));

        c.endSession(TriggerFlag::Start, kMailDate);
        // Never inside the session's own handler: the rest of the tick is queued.
        QCOMPARE(c.dialledWithStatus.size(), 0);
        QVERIFY(finished.wait(2000));
        QCOMPARE(c.dialledWithStatus, QStringList{QStringLiteral("状況：チェック中")});
        QCOMPARE(c.store.values.value(QStringLiteral("LASTDATE")),
                 QStringLiteral("2004/09/25 09:00:00"));
        QCOMPARE(c.store.writes, QStringList{QStringLiteral("LASTDATE")});
        QCOMPARE(c.state.settings.LastDate.toDateTime(), kMailDate);
        QCOMPARE(c.state.session.TriggerFlag, TriggerFlag::Stop);
        QCOMPARE(c.log.status(), QStringLiteral("状況：アイドル"));
        QVERIFY(c.timer.isActive());

        // The next check finds nothing new, no dial; a new interval applies from its end.
        c.onSession = [&c] { c.endSession(); };
        c.state.settings.TimeInterval = QStringLiteral("3");
        QVERIFY(c.timer.fire());
        QVERIFY(finished.wait(2000));
        QCOMPARE(c.sessions, 2);
        QCOMPARE(c.timer.interval, 3000);
        QCOMPARE(c.dialledWithStatus.size(), 1);
        QCOMPARE(c.cycle.state(), CheckCycle::State::Idle);
    }

    void a_session_that_ended_at_once_leaves_the_status_alone()
    {
        Cycle c;
        QStringList statuses;
        connect(&c.log, &EventLog::statusChanged, &c.log,
                [&statuses](const QString &s) { statuses.append(s); });
        c.onSession = [&c] { c.endSession(); };
        c.cycle.startCommand();
        c.timer.fire();
        QTRY_COMPARE(c.log.status(), QStringLiteral("状況：アイドル"));
        QCOMPARE(statuses.first(), QStringLiteral("状況：チェック中"));
        QVERIFY(!statuses.contains(QStringLiteral("状況：サーバーへ問い合わせ中")));
    }

    // Stopping while a check waits: a trigger already found is still dialled; a watchdog
    // that turns Stop into Quit before the queued rest of the tick must not re-arm the timer.
    void a_stop_during_the_wait_stays_off_data()
    {
        QTest::addColumn<bool>("triggerFound");
        QTest::addColumn<bool>("watchdogAfterStop");
        QTest::newRow("trigger found") << true << false;
        QTest::newRow("watchdog after stop") << false << true;
    }
    void a_stop_during_the_wait_stays_off()
    {
        QFETCH(bool, triggerFound);
        QFETCH(bool, watchdogAfterStop);
        Cycle c;
        c.cycle.startCommand();
        c.timer.fire();
        if (triggerFound) {
            c.state.session.TriggerFlag = TriggerFlag::Start;
            c.state.session.TriggerFoundDate = kMailDate;
        }
        c.cycle.stopCommand();
        if (watchdogAfterStop)
            c.endSession();
        QTRY_VERIFY(!c.cycle.checking());
        QCOMPARE(c.dialledWithStatus.size(), triggerFound ? 1 : 0);
        QCOMPARE(c.log.status(), QStringLiteral("状況：停止中"));
        QCOMPARE(c.cycle.caption(), QStringLiteral("開始"));
        QVERIFY(!c.timer.isActive());
        QCOMPARE(c.sessions, 1);
    }

    void a_start_command_during_a_check_starts_no_nested_tick()
    {
        Cycle c;
        c.cycle.startCommand();
        c.timer.fire();
        c.cycle.startCommand(); // re-arms the timer while the check still waits
        QVERIFY(c.timer.fire());
        QVERIFY(c.timer.fire()); // several intervals fall due meanwhile
        QCOMPARE(c.sessions, 1);
        QCOMPARE(c.state.session.SessionStep, SessionStep::Connect);
        c.endSession();
        QTRY_COMPARE(c.cycle.state(), CheckCycle::State::Idle);
        QVERIFY(c.timer.fire()); // monitoring goes on afterwards
        QCOMPARE(c.sessions, 2);
    }

    // The dial does not block: the rest of the tick runs when it has ended; ending the
    // program meanwhile leaves LASTDATE alone.
    void the_tick_goes_on_when_the_dial_ends_data()
    {
        QTest::addColumn<bool>("endMeanwhile");
        QTest::newRow("dial ended") << false;
        QTest::newRow("program ended during the dial") << true;
    }
    void the_tick_goes_on_when_the_dial_ends()
    {
        QFETCH(bool, endMeanwhile);
        Cycle c;
        std::function<void(bool)> endDial;
        c.onDial = [&endDial](std::function<void(bool)> done) { endDial = std::move(done); };
        c.onSession = [&c] { c.endSession(TriggerFlag::Start, kMailDate); };
        c.cycle.startCommand();
        c.timer.fire();
        QTRY_COMPARE(c.cycle.state(), CheckCycle::State::WaitingForDial);
        QVERIFY(!c.store.values.contains(QStringLiteral("LASTDATE")));
        QCOMPARE(c.log.status(), QStringLiteral("状況：チェック中"));
        c.cycle.stopCommand(); // a stop meanwhile queues no second ending
        if (endMeanwhile)
            c.cycle.abandon();
        endDial(true);
        QCOMPARE(c.store.values.contains(QStringLiteral("LASTDATE")), !endMeanwhile);
        QCOMPARE(c.cycle.state(),
                 endMeanwhile ? CheckCycle::State::Abandoned : CheckCycle::State::Idle);
        QCOMPARE(c.dialledWithStatus.size(), 1);
    }

    void a_failed_dial_is_retried_for_thirty_minutes_then_given_up()
    {
        Cycle c;
        const QDateTime t0(QDate(2004, 9, 25), QTime(9, 5, 0));
        c.dialConnects = false;
        c.onSession = [&c] { c.endSession(TriggerFlag::Start, kMailDate); };
        QSignalSpy answered(&c.cycle, &CheckCycle::triggerActedOn);
        QSignalSpy givenUp(&c.cycle, &CheckCycle::requestGivenUp);
        c.cycle.startCommand();
        // Failures within the window keep the request: LASTDATE stays, the dial comes again.
        for (const int seconds : {0, 60, 30 * 60 - 1}) {
            c.tickAt(t0.addSecs(seconds));
            QVERIFY(!c.store.values.contains(QStringLiteral("LASTDATE")));
        }
        QCOMPARE(c.dialledWithStatus.size(), 3);
        // The sender hears of the first failure only, then of the end.
        QCOMPARE(answered.size(), 1);
        QVERIFY(givenUp.isEmpty());
        // Then the request is given up, without another dial: stored as after any dial.
        c.tickAt(t0.addSecs(30 * 60));
        QCOMPARE(c.dialledWithStatus.size(), 3);
        QCOMPARE(c.store.values.value(QStringLiteral("LASTDATE")),
                 QStringLiteral("2004/09/25 09:00:00"));
        QCOMPARE(c.log.text().count(QStringLiteral("2004/09/25 09:00:00 のメールによる接続をあきらめました")), 1);
        QCOMPARE(givenUp.size(), 1);
        QCOMPARE(answered.size(), 1);
    }

    // A hang-up asked by mail replaces the dial and is answered like one; so is a request
    // that finally connects after failures.
    void hang_up_by_mail_and_success_after_failure_are_answered()
    {
        Cycle c;
        int hangUps = 0;
        c.cycle.setHangUpCommand([&hangUps](const std::function<void()> &done) {
            ++hangUps;
            done();
        });
        QSignalSpy answered(&c.cycle, &CheckCycle::triggerActedOn);
        c.onSession = [&c] { c.endSession(TriggerFlag::Start, kMailDate); };
        c.cycle.startCommand();
        // (asks for a hang-up, the dial connects): fails, fails again, connects, hang-up.
        for (const auto &[hangUp, connects] : {std::pair{false, false}, std::pair{false, false},
                                               std::pair{false, true}, std::pair{true, true}}) {
            c.state.session.TriggerFoundMail.hangUp = hangUp;
            c.dialConnects = connects;
            c.tickAt(QDateTime(QDate(2004, 9, 25), QTime(9, 10, 0)));
        }
        QCOMPARE(hangUps, 1);
        QCOMPARE(c.dialledWithStatus.size(), 3);
        QCOMPARE(answered.size(), 3); // first failure, connected, hung up
    }

    // HANGUP_AFTER runs only for a connection a trigger brought up; a new trigger restarts
    // it, a hang-up ends it, and it fires once.
    void auto_hang_up_only_for_connections_a_trigger_made()
    {
        auto owned = std::make_unique<FakeTimer>();
        FakeTimer &timer = *owned;
        AutoHangUp hangUp(std::move(owned));
        QSignalSpy due(&hangUp, &AutoHangUp::due);
        hangUp.triggerDialled(-1, 60000); // up already, or dialled by hand
        hangUp.triggerDialled(0, 0);      // HANGUP_AFTER empty or 0
        QVERIFY(!timer.active);
        hangUp.triggerDialled(0, 60000);
        hangUp.triggerDialled(-1, 120000); // a new trigger while it is up
        QVERIFY(timer.active);
        QCOMPARE(timer.interval, 120000);
        QVERIFY(timer.fire());
        QVERIFY(!timer.fire());
        QCOMPARE(due.size(), 1);
        hangUp.triggerDialled(0, 60000);
        hangUp.connectionClosed();
        QVERIFY(!timer.active);
    }

    void failures_and_passed_over_mails_are_said_once()
    {
        Cycle c;
        c.clock.current = QDateTime(QDate(2004, 9, 25), QTime(9, 5, 0));
        const QString mail = QStringLiteral("2099/01/01 00:00:00 送信者:taro@example.jp");
        for (int check = 0; check < 3; ++check) {
            c.cycle.noteSessionEnd(SessionFailure::LoginRefused, QStringLiteral("-ERR no"));
            c.cycle.mailPassedOver(mail);
        }
        c.cycle.stopCommand();
        c.cycle.noteSessionEnd(SessionFailure::Silent, {}); // the user stopped it: not a fault
        QCOMPARE(c.log.text(),
                 QStringLiteral("09/25 09:05 メールサーバーがログインを拒否しました: -ERR no\r\n"
                                "日付が1時間以上先のメールはトリガーにしません: ")
                     + mail + QStringLiteral("\r\n"));
    }

    void a_lastdate_that_cannot_be_saved_is_reported()
    {
        Cycle c;
        c.store.failWrites = true;
        c.onSession = [&c] { c.endSession(TriggerFlag::Start, kMailDate); };
        c.cycle.startCommand();
        c.timer.fire();
        QTRY_COMPARE(c.state.session.TriggerFlag, TriggerFlag::Stop);
        QVERIFY(c.log.text().contains(QStringLiteral(
            "LASTDATE を保存できませんでした（/fake/TERNCALL.ini: disk full）\r\n")));
        // The table still moved: this run does not dial the same mail again.
        QCOMPARE(c.state.settings.LastDate.toDateTime(), kMailDate);
    }

    void lastdate_is_the_found_trigger_not_the_last_examined_mail()
    {
        Cycle c;
        // A manual session found the trigger; the tick's own session then walked down to an
        // older mail, which is what TriggerMailDate holds now.
        c.state.session.TriggerFlag = TriggerFlag::Start;
        c.state.session.TriggerFoundDate = kMailDate;
        c.onSession = [&c] {
            c.state.session.TriggerMailDate =
                MailDate::dated(asWritten(QDate(2004, 1, 1), QTime(0, 0, 0)));
            c.endSession();
        };
        c.cycle.startCommand();
        c.timer.fire();
        QTRY_COMPARE(c.dialledWithStatus.size(), 1);
        QCOMPARE(c.store.values.value(QStringLiteral("LASTDATE")),
                 QStringLiteral("2004/09/25 09:00:00"));
    }
};

QTEST_GUILESS_MAIN(TestCheckCycle)
#include "tst_check_cycle.moc"
