#pragma once

#include "mail_checks.h"
#include "session_values.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

namespace ringlark {

// What makes a mail the trigger. Each check is one field group here and one test in
// matchesRules(), so that a new check adds both without touching the walk.
struct RecognitionRules
{
    bool fromCheck = false;
    QString fromText; // found in From:, letter case ignored
    bool subjectCheck = false;
    QString subjectText; // found in Subject:
    // LastDate as stored, shown as is, and as read: nullopt when it cannot be read, which
    // counts as earlier than every mail. Only a mail newer than it is the trigger.
    QString lastDateText;
    std::optional<QDateTime> lastDate;
    // The one-time code and the provider's verdict on the sender (mail_checks.h); off unless
    // the settings ask for them.
    MailCheckRules checks;
    // The time step of the code of the last trigger acted on. A code of that step or an
    // earlier one is a replay, even in a mail whose Date is written in another zone so that
    // it reads as newer than LastDate.
    std::optional<qint64> lastCodeStep;
    // An hour after the machine's clock, an instant. A mail dated later is never the
    // trigger: stored as LastDate, a wrong or forged date would make every genuine trigger
    // after it look old, for ever. nullopt: no such limit.
    std::optional<QDateTime> latestBelievable;
    // A trigger whose subject also holds this text asks for a hang-up; empty: never.
    QString hangUpSubject;
    // The walk ends by the mails' identities (POP3 UIDL, IMAP UID), which the session
    // follows: a mail that merely looks like the newest one seen is no end, and a matching
    // mail that is not new, or fails a check, is walked past. Without identities, the
    // first matching mail ends the walk, and so does the known newest mail.
    bool walkByIdentity = false;
};

// What the session does after a header was examined. Every verdict but GoOn ends the walk.
enum class Verdict
{
    GoOn,         // on to the next lower message
    StopHere,     // the walk is over; the reply already requested closes the connection
    TriggerFound, // a matching mail newer than LastDate: the check cycle dials
    CloseNow      // a matching mail that is not new: close the connection at once
};

struct Examination
{
    Verdict verdict = Verdict::GoOn;
    QString resultLines;                   // to append to the results (two lines, CR LF ended)
    std::optional<QString> newestMailText; // the newest mail's date, when the walk ended
    // The mail passed the sender and subject tests, is newer than LastDate, but failed a
    // check that is on, so it is not a trigger and the walk goes on. Never says what the
    // code was.
    MailCheckResult checks;
    // A mail that would have been the trigger but is dated beyond latestBelievable: its date
    // and sender, for the log. The walk goes on past it.
    std::optional<QString> passedOver;
    // For TriggerFound: what the reply needs of the mail.
    TriggerMail trigger;
};

// fields: the mail's header fields (mail_header.h), however the protocol fetched them.
// Updates the walk's values (MailNo, TriggerMailDate, MailFrom, MailSubject, the newest
// values); the session acts on the verdict.
Examination examineMail(const QList<HeaderField> &fields, SessionValues &session,
                        const RecognitionRules &rules);

// Whether the examined mail passes the sender and subject tests that are on. The subject is
// the decoded text (MailSubject); the sender is the From field as written, since the sender
// test reads the address in it when the provider's verdict is required.
bool matchesRules(const QString &fromField, const QString &subject, const RecognitionRules &rules);

// The log line for a mail that looked like the trigger but failed a check: one text per
// check, naming the mail by its date only (never its code).
enum class IgnoredBecause
{
    CodeWrong,
    CodeReused,
    SenderUnproven
};
QString ignoredTriggerText(IgnoredBecause reason, const MailDate &date);
inline QString ignoredTriggerText(bool codeFailed, const MailDate &date)
{
    return ignoredTriggerText(codeFailed ? IgnoredBecause::CodeWrong
                                         : IgnoredBecause::SenderUnproven,
                              date);
}

// A mail date as the result view and Label7 show it: "yyyy/MM/dd HH:mm:ss", or
// undatedText() for a mail without a readable Date.
QString mailDateText(const MailDate &date);
QString undatedText();

// A number as the session writes it for display: one leading blank when zero or positive,
// a leading "-" when negative (5 gives " 5", -1 gives "-1").
QString pop3NumberText(qint64 number);


} // namespace ringlark
