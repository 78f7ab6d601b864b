#include "totp.h"

#include "mail_date.h"
#include "mail_text.h"

#include <QMessageAuthenticationCode>
#include <QtEndian>

namespace ringlark {

qint64 totpStep(const QDateTime &instant)
{
    const qint64 seconds = instant.toSecsSinceEpoch();
    // Floor, not truncation, so that instants before 1970 still land in their own step.
    return seconds >= 0 ? seconds / TotpStepSeconds
                        : -((-seconds + TotpStepSeconds - 1) / TotpStepSeconds);
}

QString totpCode(const QByteArray &key, qint64 step)
{
    QByteArray counter(8, '\0');
    qToBigEndian(static_cast<quint64>(step), counter.data());
    const QByteArray mac = QMessageAuthenticationCode::hash(counter, key, QCryptographicHash::Sha1);
    // RFC 4226 dynamic truncation: the low nibble of the last byte picks four bytes.
    const int offset = static_cast<quint8>(mac.at(mac.size() - 1)) & 0x0f;
    const quint32 binary = qFromBigEndian<quint32>(mac.constData() + offset) & 0x7fffffffu;
    return QStringLiteral("%1").arg(binary % 1000000u, 6, 10, QLatin1Char('0'));
}

QStringList sixDigitRuns(const QString &subject)
{
    QStringList runs;
    qsizetype i = 0;
    while (i < subject.size()) {
        if (!isAsciiDigit(subject.at(i))) {
            ++i;
            continue;
        }
        qsizetype end = i;
        while (end < subject.size() && isAsciiDigit(subject.at(end)))
            ++end;
        if (end - i == 6)
            runs.append(subject.sliced(i, 6));
        i = end;
    }
    return runs;
}

std::optional<qint64> acceptedStep(const QByteArray &key, const QStringList &codes,
                                   const QDateTime &instant)
{
    if (key.isEmpty() || codes.isEmpty() || !instant.isValid())
        return std::nullopt;
    const qint64 centre = totpStep(instant);
    for (qint64 step = centre + TotpStepsAfter; step >= centre - TotpStepsBefore; --step)
        if (codes.contains(totpCode(key, step)))
            return step;
    return std::nullopt;
}

} // namespace ringlark
