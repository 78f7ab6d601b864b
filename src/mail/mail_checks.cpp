#include "mail_checks.h"

#include "auth_results.h"
#include "encoded_words.h"
#include "text_fold.h"
#include "totp.h"

namespace ringlark {

bool isTimely(const QDateTime &mailInstant, const QDateTime &clock)
{
    if (!clock.isValid())
        return true;
    const qint64 ahead = clock.secsTo(mailInstant);
    return ahead <= CodeDateAheadSeconds && -ahead <= CodeDateBehindSeconds;
}

MailCheckResult checkMail(const QList<HeaderField> &fields, const QString &subject,
                          const MailCheckRules &rules)
{
    MailCheckResult result;
    if (rules.codeRequired) {
        const std::optional<QDateTime> instant =
            mailInstant(fieldValue(fields, QLatin1StringView("Date")).value_or(QString()));
        // One code per subject: a subject of many numbers would be many guesses.
        const QStringList codes = sixDigitRuns(foldForComparison(subject));
        const bool timely = instant && isTimely(*instant, rules.clock);
        result.codeStep = timely && codes.size() == 1
                              ? acceptedStep(rules.totpKey, codes, *instant)
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
