#include "check_cycle.h"

#include "app_state.h"
#include "event_log.h"
#include "leading_number.h"
#include "settings_store.h"
#include "timer.h"

#include <QPointer>

namespace ringlark {

CheckCycle::CheckCycle(AppState &state, EventLog &log, SettingsStore &store, Timer &timer,
                       QObject *parent)
    : QObject(parent), m_state(state), m_log(log), m_store(store), m_timer(timer)
{
    m_timer.setObjectName(QStringLiteral("Timer1"));
    connect(&m_timer, &Timer::timeout, this, &CheckCycle::Timer1_Timer);
}

QString CheckCycle::caption() const
{
    return m_monitoring ? QStringLiteral("中止") : QStringLiteral("開始");
}

void CheckCycle::setSessionStarter(std::function<void()> startSession)
{
    m_startSession = std::move(startSession);
}

void CheckCycle::setDialCommand(DialCommand dial)
{
    m_dial = std::move(dial);
}

void CheckCycle::CmdStart_Click()
{
    if (!m_monitoring)
        startCommand();
    else
        stopCommand();
}

void CheckCycle::startCommand()
{
    m_monitoring = true;
    emit buttonChanged();
    m_intervalMs = intervalMilliseconds(m_state.settings.TimeInterval.toString());
    // Enabling again restarts the full interval, as a running timer is re-armed.
    setTimerEnabled(false);
    setTimerEnabled(true);
}

void CheckCycle::stopCommand()
{
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
    m_runState = State::Abandoned;
    m_timer.stop();
}

void CheckCycle::Timer1_Timer()
{
    // A tick due while an earlier one still waits (a start command given during a check)
    // is skipped: it would reset SessionStep under the running session.
    if (m_runState != State::Idle)
        return;
    setTimerEnabled(false);
    m_state.session.SessionStep = SessionStep::None;
    m_runState = State::Checking;
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
    if (m_runState == State::Checking && sessionEnded())
        queueFinish();
}

void CheckCycle::queueFinish()
{
    // The rest of the tick may block for the dial or show a box, so it never runs inside
    // the socket's or the watchdog's handler: it is queued to the event loop.
    if (m_finishQueued)
        return;
    m_finishQueued = true;
    QMetaObject::invokeMethod(this, &CheckCycle::finishTick, Qt::QueuedConnection);
}

void CheckCycle::finishTick()
{
    m_finishQueued = false;
    if (m_runState != State::Checking)
        return;

    m_log.setStatus(QStringLiteral("状況：チェック中"));
    if (m_state.session.TriggerFlag == TriggerFlag::Start) {
        // The dial may show a box (no entry chosen); the tick goes on once it closed, so
        // that LastDate and the status line still follow the box as they follow the dial.
        // The box may outlive the cycle when the program ends meanwhile.
        m_runState = State::WaitingForBox;
        if (m_dial)
            m_dial([self = QPointer<CheckCycle>(this)] {
                if (self)
                    self->afterDial();
            });
        else
            afterDial();
        return;
    }
    endTick();
}

void CheckCycle::afterDial()
{
    // The program may have been told to end while the dial's box was open.
    if (m_runState != State::WaitingForBox)
        return;
    // The date recorded when the trigger was found, not the last mail some later
    // session examined: LastDate must never move backwards.
    m_state.settings.LastDate = m_state.session.TriggerFoundDate;
    if (!m_state.settings.write(m_store, SettingsTable::Key::LastDate))
        m_log.appendLog(QStringLiteral("LASTDATE を保存できませんでした（") + m_store.lastError() +
                        QStringLiteral("）"));
    // The code's step goes with it: the same code is never taken twice, whatever zone a copy
    // of the mail writes its Date in.
    std::optional<qint64> &codeStep = m_state.session.TriggerFoundCodeStep;
    if (codeStep && !m_state.settings.triggerChecks.saveLastCodeStep(m_store, *codeStep))
        m_log.appendLog(QStringLiteral("TOTP_LASTSTEP を保存できませんでした（") +
                        m_store.lastError() + QStringLiteral("）"));
    codeStep.reset();
    m_state.session.TriggerFlag = TriggerFlag::Stop;
    endTick();
}

void CheckCycle::endTick()
{
    m_runState = State::Idle;
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
