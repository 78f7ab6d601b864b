#include "check_cycle.h"

#include "app_state.h"
#include "event_log.h"
#include "leading_number.h"

namespace ringlark {

CheckCycle::CheckCycle(AppState &state, EventLog &log, QObject *parent)
    : QObject(parent), m_state(state), m_log(log)
{
    m_timer.setObjectName(QStringLiteral("Timer1"));
    m_timer.setParent(this);
    connect(&m_timer, &QTimer::timeout, this, &CheckCycle::tick);
}

void CheckCycle::CmdStart_Click()
{
    if (m_caption == QStringLiteral("開始"))
        startCommand();
    else
        stopCommand();
}

void CheckCycle::startCommand()
{
    m_caption = QStringLiteral("中止");
    m_red = true;
    m_monitoring = true;
    emit buttonChanged();
    m_intervalMs = intervalMilliseconds(m_state.settings.TimeInterval.toString());
    // Enabling again restarts the full interval, as a running timer is re-armed.
    setTimerEnabled(false);
    setTimerEnabled(true);
}

void CheckCycle::stopCommand()
{
    m_caption = QStringLiteral("開始");
    m_red = false;
    m_monitoring = false;
    emit buttonChanged();
    setTimerEnabled(false);
    m_state.session.SessionStep = QStringLiteral("Stop");
    m_log.setStatus(QStringLiteral("状況：停止中"));
}

void CheckCycle::setTimerEnabled(bool enabled)
{
    m_timerEnabled = enabled;
    // An interval of 0 means a timer that never fires; QTimer would fire continuously.
    if (enabled && m_intervalMs > 0)
        m_timer.start(m_intervalMs);
    else
        m_timer.stop();
}

} // namespace ringlark
