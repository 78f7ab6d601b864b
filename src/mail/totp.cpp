#include "totp.h"

#include "mail_date.h"

#include <QMessageAuthenticationCode>
#include <QRegularExpression>
#include <QtEndian>

#include <array>

namespace ringlark {

namespace {

bool isAsciiDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// Comments may stand between the time and the zone ("09:00:00 (JST) +0900" is rare, but
// "+0900 (JST)" is common); they are blanked before the zone is looked for.
QString withoutComments(const QString &text)
{
    QString out;
    out.reserve(text.size());
    int depth = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (depth > 0 && c == QLatin1Char('\\')) {
            ++i;
        } else if (c == QLatin1Char('(')) {
            ++depth;
        } else if (depth > 0 && c == QLatin1Char(')')) {
            if (--depth == 0)
                out += QLatin1Char(' ');
        } else if (depth == 0) {
            out += c;
        }
    }
    return out;
}

// Seconds east of UTC.
qint64 zoneOffset(QStringView zone)
{
    if (zone.size() == 5 &&
        (zone.front() == QLatin1Char('+') || zone.front() == QLatin1Char('-'))) {
        const int hours = zone.sliced(1, 2).toInt();
        const int minutes = zone.sliced(3, 2).toInt();
        if (hours < 24 && minutes < 60) {
            const qint64 seconds = hours * 3600 + minutes * 60;
            return zone.front() == QLatin1Char('-') ? -seconds : seconds;
        }
        return 0;
    }
    struct Named
    {
        const char *name;
        int hours;
    };
    // RFC 5322's obsolete names, and JST, which Japanese mailers write though no RFC has it.
    static constexpr std::array<Named, 9> names{{{"EST", -5},
                                                 {"EDT", -4},
                                                 {"CST", -6},
                                                 {"CDT", -5},
                                                 {"MST", -7},
                                                 {"MDT", -6},
                                                 {"PST", -8},
                                                 {"PDT", -7},
                                                 {"JST", 9}}};
    for (const Named &n : names)
        if (zone.compare(QLatin1StringView(n.name), Qt::CaseInsensitive) == 0)
            return n.hours * 3600;
    return 0;
}

} // namespace

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

std::optional<QDateTime> mailInstant(const QString &dateText)
{
    const std::optional<QDateTime> asWritten = parseMailDate(dateText);
    if (!asWritten)
        return std::nullopt;
    static const QRegularExpression zonePattern(
        QStringLiteral("\\d{1,2}:\\d{1,2}(?::\\d{1,2})?\\s+([+-]\\d{4}|[A-Za-z]{1,5})(?![\\w])"));
    const QRegularExpressionMatch m = zonePattern.match(withoutComments(dateText));
    const qint64 offset = m.hasMatch() ? zoneOffset(m.capturedView(1)) : 0;
    return asWritten->addSecs(-offset);
}

} // namespace ringlark
