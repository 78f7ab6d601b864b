#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

namespace ringlark {

class EventLog;
struct AppState;

// Monitoring: the start and stop commands, the start/stop button's state, and the check
// timer Timer1.
class CheckCycle : public QObject
{
    Q_OBJECT
public:
    CheckCycle(AppState &state, EventLog &log, QObject *parent = nullptr);

    void startCommand(); // TERNCALLSTART
    void stopCommand();  // TERNCALLSTOP
    void CmdStart_Click();

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
    void tick();

protected:
    void setTimerEnabled(bool enabled);

    AppState &m_state;
    EventLog &m_log;

private:
    QTimer m_timer;
    QString m_caption = QStringLiteral("開始");
    bool m_red = false;
    bool m_monitoring = false;
    bool m_timerEnabled = false;
    int m_intervalMs = 0;
};

} // namespace ringlark
