#pragma once

#include <QString>

namespace ringlark {

// Why a session could not check the mailbox, as far as the owner needs to know it.
enum class SessionFailure
{
    None,         // the session did its work
    LoginRefused, // -ERR to USER or PASS
    Tls,          // the TLS handshake or certificate check failed
    Socket,       // no connection, or the connection broke
    Silent,       // the watchdog: the server stopped answering
    Overran,      // the overall deadline of a session
    PushLost,     // the connection kept open for push (IMAP IDLE) dropped; reconnecting
};

// Keeps the event log to one line per change in how checks fail. A revoked password or a
// server that went away fails every check, for days; one line per check would drown the
// log, and none at all (the old way) leaves the owner believing all is well.
class FailureNotices
{
public:
    // The line to log for a session that ended this way, or an empty text when it tells
    // nothing new: the same failure as last time, or success after success. `detail` is
    // the server's or the socket's own text; `secret` (the password) is masked out of it.
    QString sessionEnded(SessionFailure failure, const QString &detail, const QString &secret);

    SessionFailure current() const { return m_failure; }

private:
    SessionFailure m_failure = SessionFailure::None;
    QString m_detail;
};

} // namespace ringlark
