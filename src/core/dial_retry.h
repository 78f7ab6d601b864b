#pragma once

#include <QDateTime>

#include <chrono>

namespace ringlark {

// What happens to the owner's request when its dial fails. The trigger mail's date is not
// stored, so the next checks find the mail again and dial again; but only for a while after
// the first failure, so that a dial that can never work (a profile deleted for good) is not
// retried for ever. Then the date is stored as after any dial, and the request is given up.
class DialRetry
{
public:
    explicit DialRetry(std::chrono::seconds window = std::chrono::minutes(30)) : m_window(window) {}

    // Before dialling for the trigger mail dated `trigger`: false when its time is up.
    bool mayDial(const QDateTime &trigger, const QDateTime &now) const;
    // After the dial: true when the date is to be stored now (success); false keeps the
    // request for a later check.
    bool storeAfterDial(bool connected, const QDateTime &trigger, const QDateTime &now);
    // The request was given up (or another mail's dial succeeded): start afresh.
    void reset();

    const QDateTime &firstFailure() const { return m_firstFailure; }
    // Whether a dial for this trigger mail has failed already.
    bool failedBefore(const QDateTime &trigger) const
    {
        return m_firstFailure.isValid() && m_trigger == trigger;
    }

private:
    std::chrono::seconds m_window;
    QDateTime m_trigger;
    QDateTime m_firstFailure;
};

} // namespace ringlark
