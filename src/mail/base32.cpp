#include "base32.h"

namespace ringlark {

namespace {

constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ234567";

int valueOf(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= 'A' && u <= 'Z')
        return u - 'A';
    if (u >= 'a' && u <= 'z')
        return u - 'a';
    if (u >= '2' && u <= '7')
        return u - '2' + 26;
    return -1;
}

} // namespace

QString base32Encode(const QByteArray &bytes)
{
    QString out;
    out.reserve((bytes.size() * 8 + 4) / 5);
    quint32 buffer = 0;
    int bits = 0;
    for (const char byte : bytes) {
        buffer = (buffer << 8) | static_cast<quint8>(byte);
        bits += 8;
        while (bits >= 5) {
            bits -= 5;
            out += QLatin1Char(alphabet[(buffer >> bits) & 31]);
        }
    }
    if (bits > 0)
        out += QLatin1Char(alphabet[(buffer << (5 - bits)) & 31]);
    return out;
}

std::optional<QByteArray> base32Decode(QStringView text)
{
    QByteArray out;
    quint32 buffer = 0;
    int bits = 0;
    qsizetype symbols = 0;
    bool padding = false;
    for (const QChar c : text) {
        if (c == QLatin1Char(' ') || c == QLatin1Char('\t'))
            continue;
        if (c == QLatin1Char('=')) {
            padding = true;
            continue;
        }
        const int value = valueOf(c);
        if (value < 0 || padding)
            return std::nullopt;
        ++symbols;
        buffer = (buffer << 5) | static_cast<quint32>(value);
        bits += 5;
        if (bits >= 8) {
            bits -= 8;
            out += static_cast<char>((buffer >> bits) & 0xff);
        }
    }
    // A group of eight symbols holds five bytes; a last group of 1, 3 or 6 symbols holds
    // no whole number of bytes, so no encoder writes it.
    const qsizetype rest = symbols % 8;
    if (rest == 1 || rest == 3 || rest == 6)
        return std::nullopt;
    return out;
}

} // namespace ringlark
