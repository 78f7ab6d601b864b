#include "dial_retry.h"

namespace ringlark {

bool DialRetry::mayDial(const QDateTime &trigger, const QDateTime &now) const
{
    if (!m_firstFailure.isValid() || m_trigger != trigger)
        return true;
    return m_firstFailure.secsTo(now) < m_window.count();
}

bool DialRetry::storeAfterDial(bool connected, const QDateTime &trigger, const QDateTime &now)
{
    if (connected) {
        reset();
        return true;
    }
    // A newer trigger mail is a new request with a window of its own.
    if (!m_firstFailure.isValid() || m_trigger != trigger) {
        m_trigger = trigger;
        m_firstFailure = now;
    }
    return false;
}

void DialRetry::reset()
{
    m_trigger = {};
    m_firstFailure = {};
}

} // namespace ringlark
