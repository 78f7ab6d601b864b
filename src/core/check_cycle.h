#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

namespace ringlark {

class EventLog;
class SettingsStore;
struct AppState;

// Monitoring: the start and stop commands, the start/stop button's state, and the check
// timer Timer1.
class CheckCycle : public QObject
{
    Q_OBJECT
public:
    CheckCycle(AppState &state, EventLog &log, SettingsStore &store, QObject *parent = nullptr);

    void startCommand(); // TERNCALLSTART
    void stopCommand();  // TERNCALLSTOP
    void CmdStart_Click();

    // What a tick needs of the rest of the program: pressing the POP3 window's Command1, and
    // the dial command. Set once by the main window.
    void setSessionStarter(std::function<void()> startSession);
    void setDialCommand(std::function<void()> dial);

    // The check: runs the first half of a tick, then waits for the session to end.
    void Timer1_Timer();
    // Called whenever SessionStep may have changed; ends the wait when it is Quit or Stop.
    void sessionStepChanged();
    // The program is ending: nothing more runs, no timer, no dial, no write.
    void abandon();
    // Whether a tick is waiting for its session, or has yet to finish.
    bool checking() const { return m_checking; }

    // What CmdStart shows: "開始" while stopped, "中止" while monitoring.
    const QString &caption() const { return m_caption; }
    bool red() const { return m_red; }
    bool monitoring() const { return m_monitoring; }

    // Timer1's state as designed: enabled with an interval of 0 never fires.
    bool timerEnabled() const { return m_timerEnabled; }
    int timerInterval() const { return m_intervalMs; }
    QTimer &timer() { return m_timer; }

signals:
    void buttonChanged();
    // A tick has run to its end (after the dial, if any).
    void checkFinished();

private:
    void setTimerEnabled(bool enabled);
    bool sessionEnded() const;
    void queueFinish();
    void finishTick();

    AppState &m_state;
    EventLog &m_log;
    SettingsStore &m_store;
    std::function<void()> m_startSession;
    std::function<void()> m_dial;
    bool m_checking = false;
    bool m_finishQueued = false;
    bool m_abandoned = false;

    QTimer m_timer;
    QString m_caption = QStringLiteral("開始");
    bool m_red = false;
    bool m_monitoring = false;
    bool m_timerEnabled = false;
    int m_intervalMs = 0;
};

} // namespace ringlark
