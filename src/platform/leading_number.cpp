#include "leading_number.h"

#include <cfenv>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <string>

namespace ringlark {

namespace {

std::string squeezed(const QString &text)
{
    std::string out;
    out.reserve(static_cast<size_t>(text.size()));
    for (const QChar c : text) {
        if (c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n')
            || c == QLatin1Char('\r'))
            continue;
        // Anything beyond ASCII ends the number; keep a marker so that it is not skipped.
        out.push_back(c.unicode() < 0x80 ? static_cast<char>(c.unicode()) : '\x7f');
    }
    return out;
}

// &H and &O: the digits that follow, as the old runtime read them: up to 16 bits as a
// signed 16-bit value, up to 32 bits as a signed 32-bit value.
double radixNumber(const std::string &s, int base)
{
    unsigned long long value = 0;
    size_t digits = 0;
    for (size_t i = 2; i < s.size(); ++i) {
        const char c = s[i];
        int d = -1;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        if (d < 0 || d >= base)
            break;
        if (value > (1ULL << 40))
            return 0; // overflow: no sensible reading
        value = value * static_cast<unsigned>(base) + static_cast<unsigned>(d);
        ++digits;
    }
    if (digits == 0)
        return 0;
    if (value <= 0xFFFF)
        return static_cast<double>(static_cast<qint16>(static_cast<quint16>(value)));
    if (value <= 0xFFFFFFFFULL)
        return static_cast<double>(static_cast<qint32>(static_cast<quint32>(value)));
    return static_cast<double>(value);
}

} // namespace

double leadingNumber(const QString &text)
{
    const std::string s = squeezed(text);
    if (s.size() >= 2 && s[0] == '&') {
        if (s[1] == 'H' || s[1] == 'h')
            return radixNumber(s, 16);
        if (s[1] == 'O' || s[1] == 'o')
            return radixNumber(s, 8);
    }

    // The longest prefix of the form [sign] digits [. digits] [(e|d) [sign] digits].
    size_t i = 0;
    std::string number;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        number.push_back(s[i++]);
    size_t mantissaDigits = 0;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) {
        number.push_back(s[i++]);
        ++mantissaDigits;
    }
    if (i < s.size() && s[i] == '.') {
        number.push_back(s[i++]);
        while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) {
            number.push_back(s[i++]);
            ++mantissaDigits;
        }
    }
    if (mantissaDigits == 0)
        return 0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E' || s[i] == 'd' || s[i] == 'D')) {
        size_t j = i + 1;
        std::string exponent = "e";
        if (j < s.size() && (s[j] == '+' || s[j] == '-'))
            exponent.push_back(s[j++]);
        size_t expDigits = 0;
        while (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) {
            exponent.push_back(s[j++]);
            ++expDigits;
        }
        if (expDigits > 0)
            number += exponent;
    }
    return std::strtod(number.c_str(), nullptr);
}

int intervalMilliseconds(const QString &secondsText)
{
    const double ms = leadingNumber(secondsText) * 1000.0;
    // Compare before converting: an out-of-range double-to-int conversion is undefined.
    if (!(ms > 0))
        return 0;
    if (ms >= static_cast<double>(INT_MAX))
        return INT_MAX;
    const int saved = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double rounded = std::nearbyint(ms);
    std::fesetround(saved);
    return static_cast<int>(rounded);
}

int flagValue(const QString &text)
{
    const double v = leadingNumber(text);
    if (!(v > INT_MIN && v < INT_MAX))
        return 0;
    return static_cast<int>(std::nearbyint(v));
}

} // namespace ringlark
