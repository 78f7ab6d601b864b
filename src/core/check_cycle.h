#pragma once

#include "dial_retry.h"
#include "failure_notices.h"

#include <QObject>
#include <QSet>
#include <QString>

#include <functional>

namespace ringlark {

class Clock;
class EventLog;
class SettingsStore;
class Timer;
struct AppState;

// Monitoring: the start and stop commands, the start/stop button's state, and the check
// timer Timer1.
class CheckCycle : public QObject
{
    Q_OBJECT
public:
    enum class State
    {
        Idle,           // between ticks
        Checking,       // a tick waits for its session to end, or has yet to finish
        WaitingForDial, // the tick's dial or hang-up is under way; the tick goes on after it
        Abandoned       // the program is ending: nothing more runs
    };

    // The dial command: calls done once the dial is over, from the event loop, with whether
    // the entry is now connected.
    using DialCommand = std::function<void(std::function<void(bool connected)> done)>;
    // The hang-up command: calls done once the hang-up is over, from the event loop.
    using HangUpCommand = std::function<void(std::function<void()> done)>;

    // timer is Timer1; it fires Timer1_Timer.
    CheckCycle(AppState &state, EventLog &log, SettingsStore &store, Timer &timer,
               QObject *parent = nullptr);

    void startCommand(); // TERNCALLSTART
    void stopCommand();  // TERNCALLSTOP
    void CmdStart_Click();

    // What a tick needs of the rest of the program: pressing the POP3 window's Command1, and
    // the dial command. Set once by the core.
    void setSessionStarter(std::function<void()> startSession);
    void setDialCommand(DialCommand dial);
    // The hang-up a trigger mail asks for (HANGUP_SUBJECT); it writes its own log line.
    void setHangUpCommand(HangUpCommand hangUp) { m_hangUp = std::move(hangUp); }
    // Stores where the walk ended (LASTUID). Called at the end of each tick unless the tick's
    // trigger is kept for another dial: then the next walk must find that mail again.
    void setWalkEndStore(std::function<void()> store);
    // The machine's clock, for the time a failed dial may be retried.
    void setClock(const Clock &clock) { m_clock = &clock; }
    // A status text from the POP3 session (the watchdog's).
    void sessionStatus(const QString &text);
    // A POP3 session ended: a log line when checks start failing, fail otherwise, or work
    // again. A session the user stopped tells nothing about the server.
    void noteSessionEnd(SessionFailure failure, const QString &detail);
    // A would-be trigger dated too far ahead was passed over: said once per mail.
    void mailPassedOver(const QString &description);

    // The check: runs the first half of a tick, then waits for the session to end.
    void Timer1_Timer();
    // A check asked for before the interval is up (new mail pushed by the server, or a
    // reconnect): runs at once, or after the tick under way; never while stopped.
    void checkNow();
    // Called whenever SessionStep may have changed; ends the wait when it is Quit or Stop.
    void sessionStepChanged();
    // The program is ending: nothing more runs, no timer, no dial, no write.
    void abandon();

    State state() const { return m_runState; }
    // Whether a tick is waiting for its session, or has yet to finish.
    bool checking() const
    {
        return m_runState == State::Checking || m_runState == State::WaitingForDial;
    }

    bool monitoring() const { return m_monitoring; }
    // What CmdStart shows: "開始" while stopped, "中止" (on red) while monitoring.
    QString caption() const;
    bool red() const { return m_monitoring; }

    // Timer1's state as designed: enabled with an interval of 0 never fires.
    bool timerEnabled() const { return m_timerEnabled; }
    int timerInterval() const { return m_intervalMs; }
    Timer &timer() { return m_timer; }

signals:
    void buttonChanged();
    // A tick has run to its end (after the dial, if any).
    void checkFinished();
    // A trigger's dial or hang-up has ended and its sender is due an answer: at the first
    // failure of a request and when it finally works, not at every retry in between.
    void triggerActedOn(bool hangUp);
    // A request was given up after failing for its whole window; line is the log line.
    void requestGivenUp(const QString &line);

private:
    void setTimerEnabled(bool enabled);
    void readInterval();
    bool sessionEnded() const;
    void queueFinish();
    void finishTick();
    void afterDial(bool connected);
    void afterHangUp(const QDateTime &trigger);
    void endTick(bool storeWalkEnd = true);
    void storeLastDate(const QDateTime &date);
    QDateTime now() const;

    AppState &m_state;
    EventLog &m_log;
    SettingsStore &m_store;
    Timer &m_timer;
    std::function<void()> m_startSession;
    std::function<void()> m_storeWalkEnd;
    bool m_checkAgain = false;
    DialCommand m_dial;
    HangUpCommand m_hangUp;
    State m_runState = State::Idle;
    const Clock *m_clock = nullptr;
    DialRetry m_retry;
    FailureNotices m_failures;
    QSet<QString> m_passedOver;
    // Set by the stop command: a session that ends after it must not put its own status
    // over "状況：停止中".
    bool m_stopped = false;
    bool m_finishQueued = false;
    bool m_monitoring = false;
    bool m_timerEnabled = false;
    int m_intervalMs = 0;
};

} // namespace ringlark
