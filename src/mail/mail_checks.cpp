#include "mail_checks.h"

#include "auth_results.h"
#include "encoded_words.h"
#include "text_fold.h"
#include "totp.h"

namespace ringlark {

MailCheckResult checkMail(const QList<HeaderField> &fields, const QString &subject,
                          const MailCheckRules &rules)
{
    MailCheckResult result;
    if (rules.codeRequired) {
        const std::optional<QDateTime> instant =
            mailInstant(fieldValue(fields, QLatin1StringView("Date")).value_or(QString()));
        result.codeStep = instant ? acceptedStep(rules.totpKey,
                                                 sixDigitRuns(foldForComparison(subject)), *instant)
                                  : std::nullopt;
        result.codeFailed = !result.codeStep;
    }
    if (rules.senderVerdictRequired)
        result.senderFailed = !senderAuthenticated(fields, rules.authServId);
    return result;
}

bool senderMatches(const QString &setting, const QString &fromText, bool verdictRequired)
{
    if (!verdictRequired)
        return occursFolded(setting, decodeEncodedWords(fromText));
    const std::optional<QString> address = fromAddress(fromText);
    return address && foldForComparison(*address) == foldForComparison(setting.trimmed());
}

} // namespace ringlark
