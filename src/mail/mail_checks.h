#pragma once

#include "mail_header.h"

#include <QDateTime>
#include <QString>

#include <optional>

namespace ringlark {

// What the two checks of a trigger mail need to know, from the settings and from the last
// trigger acted on.
struct MailCheckRules
{
    bool codeRequired = false;
    QByteArray totpKey; // the shared secret; an empty one makes every code wrong
    bool senderVerdictRequired = false;
    QString authServId;
    // The machine's clock when the session started; a code counts only in a mail dated
    // near it. Invalid: no such bound.
    QDateTime clock;
};

// How far a mail's Date may lie from the machine's clock for its code to count. A code is
// checked against the Date, which the sender writes: a forged Date a day ahead would store
// a step that makes every genuine code until then look old. Phones keep time to the second;
// greylisting may hold a mail for a quarter of an hour, and a queue for longer.
constexpr qint64 CodeDateAheadSeconds = 10 * 60;
constexpr qint64 CodeDateBehindSeconds = 60 * 60;
bool isTimely(const QDateTime &mailInstant, const QDateTime &clock);

struct MailCheckResult
{
    // The code check is on, and the subject does not hold exactly one six-digit code that is
    // right for a Date near the machine's clock.
    bool codeFailed = false;
    // Of those: the code is right but was acted on already (its step is not past the last
    // trigger's), a replay.
    bool codeReused = false;
    bool senderFailed = false; // the sender check is on, and the provider did not vouch
    // The time step of the code that passed, when the code check is on.
    std::optional<qint64> codeStep;

    bool passed() const { return !codeFailed && !senderFailed; }
};

// Runs the checks that are switched on against a mail that passed the sender and subject
// tests. subject is the decoded Subject text.
MailCheckResult checkMail(const QList<HeaderField> &fields, const QString &subject,
                          const MailCheckRules &rules);

// The sender test. While the provider's verdict is required, the setting must equal the
// address in From: the verdict vouches only for that address's domain, so a display name
// ("owner@example.com" <someone@elsewhere.example>) or a longer address that merely contains
// the setting must not pass. Otherwise the setting is looked for in the decoded sender text.
bool senderMatches(const QString &setting, const QString &fromText, bool verdictRequired);

} // namespace ringlark
