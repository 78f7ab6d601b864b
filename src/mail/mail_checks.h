#pragma once

#include "mail_header.h"

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
};

struct MailCheckResult
{
    bool codeFailed = false;   // the code check is on, and no code in the subject is right
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
