#include "check_cycle.h"

#include "app_state.h"
#include "event_log.h"
#include "leading_number.h"
#include "settings_store.h"

#include <QThread>

namespace ringlark {

CheckCycle::CheckCycle(AppState &state, EventLog &log, SettingsStore &store, QObject *parent)
    : QObject(parent), m_state(state), m_log(log), m_store(store)
{
    m_timer.setObjectName(QStringLiteral("Timer1"));
    m_timer.setParent(this);
    connect(&m_timer, &QTimer::timeout, this, &CheckCycle::Timer1_Timer);
}

void CheckCycle::setSessionStarter(std::function<void()> startSession)
{
    m_startSession = std::move(startSession);
}

void CheckCycle::setDialCommand(std::function<void()> dial)
{
    m_dial = std::move(dial);
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
    m_state.session.SessionStep = SessionStep::Stop;
    m_log.setStatus(QStringLiteral("状況：停止中"));
    // A tick waiting for its session stops waiting now.
    sessionStepChanged();
}

void CheckCycle::abandon()
{
    m_abandoned = true;
    m_checking = false;
    m_timer.stop();
}

void CheckCycle::Timer1_Timer()
{
    if (m_abandoned)
        return;
    // A tick due while an earlier one still waits (a start command given during a check)
    // is skipped: it would reset SessionStep under the running session.
    if (m_checking)
        return;
    setTimerEnabled(false);
    m_state.session.SessionStep = SessionStep::None;
    m_checking = true;
    if (m_startSession)
        m_startSession();
    // The session may already have ended (refused at once): then the status is left alone.
    if (sessionEnded())
        queueFinish();
    else
        m_log.setStatus(QStringLiteral("状況：サーバーへ問い合わせ中"));
}

bool CheckCycle::sessionEnded() const
{
    const SessionStep step = m_state.session.SessionStep;
    return step == SessionStep::Quit || step == SessionStep::Stop;
}

void CheckCycle::sessionStepChanged()
{
    if (m_checking && sessionEnded())
        queueFinish();
}

void CheckCycle::queueFinish()
{
    // The rest of the tick may block for the dial or open a modal box, so it never runs
    // inside the socket's or the watchdog's handler: it is queued to the event loop.
    if (m_finishQueued)
        return;
    m_finishQueued = true;
    QMetaObject::invokeMethod(this, &CheckCycle::finishTick, Qt::QueuedConnection);
}

void CheckCycle::finishTick()
{
    // Not inside another modal box's loop either: try again once it has closed.
    if (QThread::currentThread()->loopLevel() > 1) {
        QTimer::singleShot(250, this, &CheckCycle::finishTick);
        return;
    }
    m_finishQueued = false;
    if (!m_checking || m_abandoned)
        return;

    m_log.setStatus(QStringLiteral("状況：チェック中"));
    SessionValues &session = m_state.session;
    if (session.TriggerFlag == TriggerFlag::Start) {
        if (m_dial)
            m_dial();
        // The program may have been told to end while the dial's box was open.
        if (m_abandoned)
            return;
        // The date recorded when the trigger was found, not the last mail some later
        // session examined: LastDate must never move backwards.
        m_state.settings.LastDate = session.TriggerFoundDate;
        if (!m_state.settings.write(m_store, SettingsTable::Key::LastDate))
            m_log.appendLog(QStringLiteral("LASTDATE を保存できませんでした（") + m_store.lastError()
                            + QStringLiteral("）"));
        // The code's step goes with it: the same code is never taken twice, whatever zone
        // a copy of the mail writes its Date in.
        if (session.TriggerFoundCodeStep &&
            !m_state.settings.triggerChecks.saveLastCodeStep(m_store, *session.TriggerFoundCodeStep))
            m_log.appendLog(QStringLiteral("TOTP_LASTSTEP を保存できませんでした（") +
                            m_store.lastError() + QStringLiteral("）"));
        session.TriggerFoundCodeStep.reset();
        session.TriggerFlag = TriggerFlag::Stop;
    }

    m_checking = false;
    // Whether monitoring is on, as the start and stop commands left it; a watchdog that
    // turned Stop into Quit meanwhile must not re-arm a stopped monitor.
    if (m_monitoring) {
        setTimerEnabled(true);
        m_log.setStatus(QStringLiteral("状況：アイドル"));
    } else {
        m_log.setStatus(QStringLiteral("状況：停止中"));
    }
    emit checkFinished();
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
