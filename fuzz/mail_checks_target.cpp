// Fuzz target: the readers behind the checks of a trigger mail, on text a sender controls:
// encoded words, Authentication-Results fields, From addresses, Date zones, codes in a subject
// and base32 secrets. The whole input is one header text, decoded as the session decodes a line.

#include "fuzz_support.h"

#include "auth_results.h"
#include "base32.h"
#include "encoded_words.h"
#include "mail_date.h"
#include "mail_header.h"
#include "totp.h"

#include <QDateTime>

using namespace ringlark;

namespace {

bool isAsciiDigits(const QString &text)
{
    for (const QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    ringlark::fuzz::Input input(data, size);
    const QString text = decodeMailLine(input.rest());

    const QString decoded = decodeEncodedWords(text);
    if (!text.contains(QStringLiteral("=?")))
        FUZZ_CHECK(decoded == text);

    if (const std::optional<AuthResults> field = parseAuthenticationResults(text)) {
        for (const AuthResult &r : field->results) {
            FUZZ_CHECK(!r.method.isEmpty() && r.method == r.method.toLower());
            FUZZ_CHECK(!r.result.isEmpty() && r.result == r.result.toLower());
        }
    }
    if (const std::optional<QString> address = fromAddress(text))
        FUZZ_CHECK(address->contains(QLatin1Char('@')) && !address->contains(QLatin1Char(' ')));

    // The zone moves the instant by less than a day, and only where a date was read.
    const std::optional<QDateTime> asWritten = parseMailDate(text);
    const std::optional<QDateTime> instant = mailInstant(text);
    FUZZ_CHECK(asWritten.has_value() == instant.has_value());
    if (instant)
        FUZZ_CHECK(qAbs(instant->secsTo(*asWritten)) < 24 * 3600);

    for (const QString &run : sixDigitRuns(text))
        FUZZ_CHECK(run.size() == 6 && isAsciiDigits(run));

    if (const std::optional<QByteArray> secret = base32Decode(text)) {
        FUZZ_CHECK(base32Decode(base32Encode(*secret)) == secret);
        if (instant) {
            const std::optional<qint64> step =
                acceptedStep(*secret, sixDigitRuns(text), *instant);
            if (step)
                FUZZ_CHECK(*step >= totpStep(*instant) - TotpStepsBefore &&
                           *step <= totpStep(*instant) + TotpStepsAfter);
        }
    }
    return 0;
}
