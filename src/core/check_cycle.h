#pragma once

#include <QObject>
#include <QString>

#include <functional>

namespace ringlark {

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
        Idle,          // between ticks
        Checking,      // a tick waits for its session to end, or has yet to finish
        WaitingForBox, // the tick's dial showed a box; the tick goes on when it closes
        Abandoned      // the program is ending: nothing more runs
    };

    // The dial command: calls done once the dial is over, at once or when its box closed.
    using DialCommand = std::function<void(std::function<void()> done)>;

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

    // The check: runs the first half of a tick, then waits for the session to end.
    void Timer1_Timer();
    // Called whenever SessionStep may have changed; ends the wait when it is Quit or Stop.
    void sessionStepChanged();
    // The program is ending: nothing more runs, no timer, no dial, no write.
    void abandon();

    State state() const { return m_runState; }
    // Whether a tick is waiting for its session, or has yet to finish.
    bool checking() const
    {
        return m_runState == State::Checking || m_runState == State::WaitingForBox;
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

private:
    void setTimerEnabled(bool enabled);
    bool sessionEnded() const;
    void queueFinish();
    void finishTick();
    void afterDial();
    void endTick();

    AppState &m_state;
    EventLog &m_log;
    SettingsStore &m_store;
    Timer &m_timer;
    std::function<void()> m_startSession;
    DialCommand m_dial;
    State m_runState = State::Idle;
    bool m_finishQueued = false;
    bool m_monitoring = false;
    bool m_timerEnabled = false;
    int m_intervalMs = 0;
};

} // namespace ringlark
