#include "check_cycle.h"

#include "app_state.h"
#include "clock.h"
#include "date_text.h"
#include "event_log.h"
#include "leading_number.h"
#include "ok_checks.h"
#include "settings_store.h"
#include "timer.h"
#include "totp.h"

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

void CheckCycle::setWalkEndStore(std::function<void()> store)
{
    m_storeWalkEnd = std::move(store);
}

void CheckCycle::checkNow()
{
    if (!m_monitoring || m_runState == State::Abandoned)
        return;
    if (m_runState == State::Idle)
        Timer1_Timer();
    else
        m_checkAgain = true;
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
    // Zero, negative or no number at all: a timer that would never fire, or fire without
    // pause. Say so, and leave monitoring as it is.
    const QString refusal = intervalRefusal(settingText(m_state.settings.TimeInterval));
    if (!refusal.isEmpty()) {
        m_log.appendLog(refusal);
        return;
    }
    m_stopped = false;
    m_monitoring = true;
    emit buttonChanged();
    readInterval();
    // Enabling again restarts the full interval, as a running timer is re-armed.
    setTimerEnabled(false);
    setTimerEnabled(true);
    // The default settings dial on any new mail at all; a first start should say so.
    const SettingsTable &settings = m_state.settings;
    if (flagValue(settingText(settings.FromCheck)) != 0 ||
        flagValue(settingText(settings.SubjectCheck)) != 0)
        return;
    const TriggerChecks &checks = settings.triggerChecks;
    m_log.appendLog(QStringLiteral("送信者と件名のチェックがどちらもオフです") +
                    (checks.codeRequired() || checks.senderVerdictRequired()
                         ? QString()
                         : QStringLiteral("。新しいメールが届くと、どのメールでも接続します")));
}

void CheckCycle::readInterval()
{
    // An interval changed in the settings while monitoring runs applies from the next
    // re-arming; one monitoring could not work with keeps the old one.
    const QString interval = settingText(m_state.settings.TimeInterval);
    if (intervalRefusal(interval).isEmpty())
        // Under a second would keep the server busy without pause; a second is the least.
        m_intervalMs = std::max(1000, intervalMilliseconds(interval));
}

void CheckCycle::stopCommand()
{
    m_monitoring = false;
    emit buttonChanged();
    setTimerEnabled(false);
    m_stopped = true;
    m_state.session.SessionStep = SessionStep::Stop;
    m_log.setStatus(QStringLiteral("状況：停止中"));
    // A tick waiting for its session stops waiting now.
    sessionStepChanged();
}

void CheckCycle::sessionStatus(const QString &text)
{
    if (!m_stopped)
        m_log.setStatus(text);
}

void CheckCycle::noteSessionEnd(SessionFailure failure, const QString &detail)
{
    if (m_stopped || m_runState == State::Abandoned)
        return;
    const QString line =
        m_failures.sessionEnded(failure, detail, settingText(m_state.settings.Password));
    if (!line.isEmpty())
        m_log.appendLog(now().toString(QStringLiteral("MM/dd HH:mm ")) + line);
}

void CheckCycle::mailPassedOver(const QString &description)
{
    if (m_runState == State::Abandoned || m_passedOver.contains(description))
        return;
    m_passedOver.insert(description);
    m_log.appendLog(QStringLiteral("日付が1時間以上先のメールはトリガーにしません: ") + description);
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
    SessionValues &session = m_state.session;
    if (session.TriggerFlag == TriggerFlag::Start) {
        // The date recorded when the trigger was found, not the last mail some later
        // session examined: LastDate must never move backwards.
        const QDateTime trigger = session.TriggerFoundDate;
        if (session.TriggerFoundMail.hangUp) {
            // Like the dial, the hang-up does not block: the tick goes on when it is over.
            m_runState = State::WaitingForDial;
            auto after = [self = QPointer<CheckCycle>(this), trigger] {
                if (self)
                    self->afterHangUp(trigger);
            };
            if (m_hangUp)
                m_hangUp(after);
            else
                after();
            return;
        }
        if (!m_retry.mayDial(trigger, now())) {
            const QString line = QStringLiteral("接続できないまま30分たったため、") +
                                 dateText(trigger) +
                                 QStringLiteral(" のメールによる接続をあきらめました");
            m_log.appendLog(line);
            m_retry.reset();
            storeLastDate(trigger);
            session.TriggerFlag = TriggerFlag::Stop;
            emit requestGivenUp(line);
            endTick();
            return;
        }
        // The dial does not block: the tick goes on when it has ended. The dial may outlive
        // the cycle when the program ends meanwhile.
        m_runState = State::WaitingForDial;
        if (m_dial)
            m_dial([self = QPointer<CheckCycle>(this)](bool connected) {
                if (self)
                    self->afterDial(connected);
            });
        else
            afterDial(true);
        return;
    }
    endTick();
}

void CheckCycle::afterHangUp(const QDateTime &trigger)
{
    if (m_runState != State::WaitingForDial)
        return;
    // Nothing to retry: a connection that cannot be hung up now is not there, or is beyond
    // the program's reach.
    m_retry.reset();
    storeLastDate(trigger);
    m_state.session.TriggerFlag = TriggerFlag::Stop;
    emit triggerActedOn(true);
    endTick();
}

void CheckCycle::afterDial(bool connected)
{
    // The program may have been told to end while the dial was under way.
    if (m_runState != State::WaitingForDial)
        return;
    SessionValues &session = m_state.session;
    const QDateTime trigger = session.TriggerFoundDate;
    // A failed dial keeps the request: LastDate stays, and the next checks find the mail
    // and dial again, for a while.
    const bool failedBefore = m_retry.failedBefore(trigger);
    const bool store = m_retry.storeAfterDial(connected, trigger, now());
    if (store)
        storeLastDate(trigger);
    session.TriggerFlag = TriggerFlag::Stop;
    if (connected || !failedBefore)
        emit triggerActedOn(false);
    endTick(store);
}

void CheckCycle::storeLastDate(const QDateTime &date)
{
    m_state.settings.LastDate = date;
    if (!m_state.settings.write(m_store, SettingsTable::Key::LastDate))
        m_log.appendLog(QStringLiteral("LASTDATE を保存できませんでした（") + m_store.lastError() +
                        QStringLiteral("）"));
    // The step of the trigger's code goes with it: the same code is never taken twice,
    // whatever zone a copy of the mail writes its Date in.
    // Never a step ahead of the clock: a mail dated ahead would otherwise make the owner's
    // next genuine codes look used.
    std::optional<qint64> codeStep = m_state.session.TriggerFoundCodeStep;
    if (codeStep)
        codeStep = std::min(*codeStep, totpStep(now()));
    if (codeStep && !m_state.settings.triggerChecks.saveLastCodeStep(m_store, *codeStep))
        m_log.appendLog(QStringLiteral("TOTP_LASTSTEP を保存できませんでした（") +
                        m_store.lastError() + QStringLiteral("）"));
}

QDateTime CheckCycle::now() const
{
    return m_clock ? m_clock->now() : QDateTime::currentDateTime();
}

void CheckCycle::endTick(bool storeWalkEnd)
{
    if (storeWalkEnd && m_storeWalkEnd)
        m_storeWalkEnd();
    m_runState = State::Idle;
    // Whether monitoring is on, as the start and stop commands left it; a watchdog that
    // turned Stop into Quit meanwhile must not re-arm a stopped monitor.
    if (m_monitoring) {
        readInterval();
        setTimerEnabled(true);
        m_log.setStatus(QStringLiteral("状況：アイドル"));
    } else {
        m_log.setStatus(QStringLiteral("状況：停止中"));
    }
    emit checkFinished();
    if (std::exchange(m_checkAgain, false) && m_monitoring)
        QMetaObject::invokeMethod(this, &CheckCycle::checkNow, Qt::QueuedConnection);
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
