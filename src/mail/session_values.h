#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

namespace ringlark {

// A mail's date as read from its Date header, "as written" (Qt::UTC, see date_text.h).
// An undated mail (no Date header, or one that cannot be read) has its own value that
// equals only another undated value; it never borrows an earlier mail's date.
struct MailDate
{
    enum class Kind
    {
        None,
        Undated,
        Dated
    };

    Kind kind = Kind::None; // None: nothing recorded yet; matches no real message
    QDateTime value;        // valid only for Dated

    static MailDate undated() { return {Kind::Undated, {}}; }
    static MailDate dated(const QDateTime &v) { return {Kind::Dated, v}; }

    bool isDated() const { return kind == Kind::Dated; }
    // Equality of two examined mails' dates; None never matches.
    bool sameAs(const MailDate &other) const
    {
        if (kind == Kind::None || other.kind == Kind::None || kind != other.kind)
            return false;
        return kind == Kind::Undated || value == other.value;
    }
};

// Where the POP3 dialogue stands. None while a tick starts a session; Stop after the user
// stopped monitoring. Pop3Session changes it, except that the check cycle clears it before a
// tick and sets Stop.
enum class SessionStep
{
    None,
    Connect,
    User,
    Pass,
    Stat,
    Retr,
    Quit,
    Stop
};

// Start: the last session found a trigger mail newer than LastDate. Stop after the check
// cycle dialled, or when the trigger mail found was not new. None at first.
enum class TriggerFlag
{
    None,
    Start,
    Stop
};

// The designed spellings, where a user or a log sees them: the POP3 window's MailStep label
// shows Retr or Quit. (Not named toString: QtTest looks that name up for its own use.)
QString spelling(SessionStep step);
QString spelling(TriggerFlag flag);

// What the reply to a trigger mail needs of it, recorded when it was found.
struct TriggerMail
{
    QString fromAddress; // the From address that passed the sender test; empty: none usable
    QString messageId;   // its Message-ID field as written; empty: none
    // It carries Auto-Submitted other than "no" (RFC 3834): a machine sent it, and no reply
    // goes back to a machine, lest two of them answer each other for ever.
    bool autoSubmitted = false;
    // Its subject also holds HANGUP_SUBJECT: it asks for a hang-up, not a dial.
    bool hangUp = false;
};

// The values the POP3 session and the check cycle share, alive for the whole run.
struct SessionValues
{
    // Qualified: the members keep the designed names of the types they hold.
    ringlark::SessionStep SessionStep = ringlark::SessionStep::None;
    ringlark::TriggerFlag TriggerFlag = ringlark::TriggerFlag::None;
    // The date of the mail examined last.
    MailDate TriggerMailDate;
    // The trigger mail's date, recorded when TriggerFlag became Start. This, not whatever
    // mail a later session examined last, is what becomes LastDate.
    QDateTime TriggerFoundDate;
    // The time step of the trigger's one-time code, when the code check was on: stored with
    // LastDate, so that the same code is never acted on twice.
    std::optional<qint64> TriggerFoundCodeStep;
    TriggerMail TriggerFoundMail;

    qint64 MailNo = 0; // next message to request; 64-bit so that huge mailboxes work
    // The walk ends when MailNo comes down to this: 0 walks to message 1; a walk that ends
    // at the mail named by LASTUIDL stops above it.
    qint64 WalkFloor = 0;
    QString MailCount; // the count as cut from the STAT reply

    QString MailFrom;
    QString MailSubject;

    MailDate SessionNewestDate;
    QString SessionNewestSubject;
    QString SessionNewestFrom;
    // The authserv-ids of that mail's Authentication-Results fields, for the setup window.
    QStringList SessionNewestAuthservIds;

    MailDate KnownNewestDate;
    QString KnownNewestSubject;
    QString KnownNewestFrom;
};

} // namespace ringlark
