#include "mail_date.h"

#include "date_text.h"
#include "mail_text.h"

#include <QList>
#include <QStringView>

#include <algorithm>
#include <array>

namespace ringlark {

namespace {

// A Date header longer than this is not a date; refusing it keeps the work bounded.
constexpr qsizetype MaxDateLength = 2048;
// The longest form needs six tokens after the weekday; a few spare ones cover zones.
constexpr qsizetype MaxTokens = 12;

bool isAsciiLetter(QChar c)
{
    return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
           (c >= QLatin1Char('A') && c <= QLatin1Char('Z'));
}

// Comments become a blank; blanks around ':' are dropped, as the obsolete syntax allows
// "09 : 00 : 00"; commas separate like blanks.
QString normalised(QStringView text)
{
    const QString bare = withoutComments(text);
    QString out;
    out.reserve(bare.size());
    for (qsizetype i = 0; i < bare.size(); ++i) {
        const QChar c = bare.at(i);
        if (c == QLatin1Char(':')) {
            while (!out.isEmpty() && out.back() == QLatin1Char(' '))
                out.chop(1);
            out += c;
            while (i + 1 < bare.size() && isBlank(bare.at(i + 1)))
                ++i;
        } else if (c == QLatin1Char(',') || c == QLatin1Char(')') || isBlank(c)) {
            out += QLatin1Char(' ');
        } else {
            out += c;
        }
    }
    return out;
}

// "25-Sep-2004", which some old mailers write, is three tokens; a zone such as "-0700" or an
// ISO date ("2004-09-25") stays one.
void appendToken(QList<QStringView> &tokens, QStringView token)
{
    const bool hasLetter = std::any_of(token.begin(), token.end(), isAsciiLetter);
    if (hasLetter && !token.isEmpty() && isAsciiDigit(token.front())) {
        for (QStringView part : token.split(QLatin1Char('-'), Qt::SkipEmptyParts))
            tokens.append(part);
        return;
    }
    tokens.append(token);
}

QList<QStringView> tokensOf(const QString &text)
{
    QList<QStringView> tokens;
    for (QStringView token : QStringView(text).split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (tokens.size() >= MaxTokens)
            break;
        appendToken(tokens, token);
    }
    return tokens;
}

// A number of minDigits to maxDigits ASCII digits, nothing else.
std::optional<int> digits(QStringView token, qsizetype minDigits, qsizetype maxDigits)
{
    if (token.size() < minDigits || token.size() > maxDigits)
        return std::nullopt;
    int value = 0;
    for (const QChar c : token) {
        if (!isAsciiDigit(c))
            return std::nullopt;
        value = value * 10 + (c.unicode() - '0');
    }
    return value;
}

// An English name or any abbreviation of it of three letters or more: "Sep", "Sept",
// "September"; "Thu", "Thurs".
template <size_t N>
std::optional<int> nameIndex(QStringView token, const std::array<const char *, N> &names)
{
    if (token.size() < 3)
        return std::nullopt;
    for (size_t i = 0; i < N; ++i) {
        const QLatin1StringView name(names[i]);
        if (token.size() <= name.size() &&
            name.left(token.size()).compare(token, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    }
    return std::nullopt;
}

std::optional<int> monthOf(QStringView token)
{
    static constexpr std::array<const char *, 12> months{
        "january", "february", "march",     "april",   "may",      "june",
        "july",    "august",   "september", "october", "november", "december"};
    const std::optional<int> index = nameIndex(token, months);
    return index ? std::optional<int>(*index + 1) : std::nullopt;
}

bool isWeekday(QStringView token)
{
    static constexpr std::array<const char *, 7> days{"monday", "tuesday",  "wednesday", "thursday",
                                                      "friday", "saturday", "sunday"};
    return nameIndex(token, days).has_value();
}

std::optional<int> dayOf(QStringView token)
{
    const std::optional<int> day = digits(token, 1, 2);
    return day && *day >= 1 ? day : std::nullopt;
}

// Two-digit years 00 to 49 are 2000 to 2049, 50 to 99 are 1950 to 1999; three-digit years
// count from 1900.
std::optional<int> yearOf(QStringView token)
{
    const std::optional<int> year = digits(token, 2, 4);
    if (!year)
        return std::nullopt;
    if (token.size() == 2)
        return *year + (*year < 50 ? 2000 : 1900);
    if (token.size() == 3)
        return *year + 1900;
    return year;
}

// hh:mm or hh:mm:ss. A leap second (60) reads as 59: the mail is not a second later.
std::optional<QTime> timeOf(QStringView token)
{
    const QList<QStringView> parts = token.split(QLatin1Char(':'));
    if (parts.size() < 2 || parts.size() > 3)
        return std::nullopt;
    const std::optional<int> h = digits(parts.at(0), 1, 2);
    const std::optional<int> m = digits(parts.at(1), 1, 2);
    const std::optional<int> s = parts.size() == 3 ? digits(parts.at(2), 1, 2) : 0;
    if (!h || !m || !s || *h > 23 || *m > 59 || *s > 60)
        return std::nullopt;
    return QTime(*h, *m, *s == 60 ? 59 : *s);
}

std::optional<QDateTime> combine(std::optional<int> year, std::optional<int> month,
                                 std::optional<int> day, std::optional<QTime> time)
{
    if (!year || !month || !day || !time)
        return std::nullopt;
    const QDate date(*year, *month, *day);
    if (!date.isValid())
        return std::nullopt;
    return asWritten(date, *time);
}

// "2004-09-25" or "2004/09/25".
std::optional<QDateTime> isoForm(QStringView dateToken, QStringView timeToken)
{
    const QChar separator = dateToken.size() > 4 ? dateToken.at(4) : QChar();
    if (separator != QLatin1Char('-') && separator != QLatin1Char('/'))
        return std::nullopt;
    const QList<QStringView> parts = dateToken.split(separator);
    if (parts.size() != 3)
        return std::nullopt;
    return combine(digits(parts.at(0), 4, 4), digits(parts.at(1), 1, 2), dayOf(parts.at(2)),
                   timeOf(timeToken));
}

// Seconds east of UTC for a zone token: "+0900", "-0000", or a name. RFC 5322 reads an
// unknown name as "-0000", a time in UTC; nullopt for a token that is no zone at all.
std::optional<qint64> zoneOffset(QStringView zone)
{
    if (zone.size() == 5 && (zone.front() == QLatin1Char('+') || zone.front() == QLatin1Char('-'))) {
        const std::optional<int> hours = digits(zone.sliced(1, 2), 2, 2);
        const std::optional<int> minutes = digits(zone.sliced(3, 2), 2, 2);
        if (!hours || !minutes || *hours > 23 || *minutes > 59)
            return std::nullopt;
        const qint64 seconds = *hours * 3600 + *minutes * 60;
        return zone.front() == QLatin1Char('-') ? -seconds : seconds;
    }
    if (zone.isEmpty() || zone.size() > 5 || !std::all_of(zone.begin(), zone.end(), isAsciiLetter))
        return std::nullopt;
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

std::optional<WrittenDate> written(std::optional<QDateTime> value, const QList<QStringView> &t,
                                   qsizetype zoneAt)
{
    if (!value)
        return std::nullopt;
    return WrittenDate{*value, zoneAt < t.size() ? zoneOffset(t[zoneAt]) : std::nullopt};
}

} // namespace

std::optional<WrittenDate> readMailDate(const QString &text)
{
    if (text.size() > MaxDateLength)
        return std::nullopt;
    const QString clean = normalised(text);
    QList<QStringView> t = tokensOf(clean);
    if (!t.isEmpty() && isWeekday(t.front()))
        t.removeFirst();
    if (t.size() < 2)
        return std::nullopt;
    if (t.size() >= 4) {
        // day month year time [zone]: the RFC form
        if (auto v = written(combine(yearOf(t[2]), monthOf(t[1]), dayOf(t[0]), timeOf(t[3])), t, 4))
            return v;
        // month day time [zone] year: the C library's form
        if (auto v = written(combine(yearOf(t[3]), monthOf(t[0]), dayOf(t[1]), timeOf(t[2])), t, 4))
            return WrittenDate{v->value, std::nullopt};
        // month day year time [zone]
        if (auto v = written(combine(yearOf(t[2]), monthOf(t[0]), dayOf(t[1]), timeOf(t[3])), t, 4))
            return v;
    }
    return written(isoForm(t[0], t[1]), t, 2);
}

std::optional<QDateTime> parseMailDate(const QString &text)
{
    const std::optional<WrittenDate> date = readMailDate(text);
    return date ? std::optional(date->value) : std::nullopt;
}

std::optional<QDateTime> mailInstant(const QString &text)
{
    const std::optional<WrittenDate> date = readMailDate(text);
    if (!date)
        return std::nullopt;
    if (!date->zoneOffset) {
        // No zone: written in the machine's own time.
        const QDateTime local(date->value.date(), date->value.time());
        return local.toUTC();
    }
    return date->value.addSecs(-*date->zoneOffset);
}

std::optional<QDateTime> localMailDate(const QString &text)
{
    const std::optional<QDateTime> instant = mailInstant(text);
    if (!instant)
        return std::nullopt;
    const QDateTime local = instant->toLocalTime();
    return asWritten(local.date(), local.time());
}

} // namespace ringlark
