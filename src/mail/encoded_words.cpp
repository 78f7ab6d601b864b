#include "encoded_words.h"

#include <QByteArray>
#include <QList>
#include <QRegularExpression>
#include <QStringDecoder>

#include <optional>

namespace ringlark {

namespace {

struct EncodedWord
{
    qsizetype start = 0; // position of "=?" in the text
    qsizetype end = 0;   // just past "?="
    QByteArray charset;  // without a language suffix
    QByteArray bytes;    // the decoded body, still in that character set
};

int hexValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    return -1;
}

std::optional<QByteArray> fromQ(QStringView body)
{
    QByteArray out;
    out.reserve(body.size());
    for (qsizetype i = 0; i < body.size(); ++i) {
        const QChar c = body.at(i);
        if (c == QLatin1Char('_')) {
            out += ' ';
        } else if (c == QLatin1Char('=')) {
            if (i + 2 >= body.size())
                return std::nullopt;
            const int hi = hexValue(body.at(i + 1));
            const int lo = hexValue(body.at(i + 2));
            if (hi < 0 || lo < 0)
                return std::nullopt;
            out += static_cast<char>(hi * 16 + lo);
            i += 2;
        } else if (c.unicode() < 0x80) {
            out += static_cast<char>(c.unicode());
        } else {
            return std::nullopt;
        }
    }
    return out;
}

std::optional<QByteArray> fromB(QStringView body)
{
    // Padding is often missing; anything else outside the alphabet is a broken word.
    const QByteArray ascii = body.toLatin1();
    const auto result = QByteArray::fromBase64Encoding(
        ascii, QByteArray::Base64Encoding | QByteArray::AbortOnBase64DecodingErrors);
    if (!result)
        return std::nullopt;
    return *result;
}

bool onlyBlanks(QStringView text)
{
    for (const QChar c : text)
        if (c != QLatin1Char(' ') && c != QLatin1Char('\t') && c != QLatin1Char('\r') &&
            c != QLatin1Char('\n'))
            return false;
    return true;
}

QList<EncodedWord> encodedWordsIn(const QString &text)
{
    static const QRegularExpression pattern(
        QStringLiteral("=\\?([^?\\s*]+)(?:\\*[^?\\s]*)?\\?([BbQq])\\?([^?\\s]*)\\?="));
    QList<EncodedWord> words;
    for (const QRegularExpressionMatch &m : pattern.globalMatch(text)) {
        const QStringView body = m.capturedView(3);
        const bool base64 = m.capturedView(2).compare(QLatin1Char('B'), Qt::CaseInsensitive) == 0;
        const std::optional<QByteArray> bytes = base64 ? fromB(body) : fromQ(body);
        if (!bytes)
            continue;
        words.append({m.capturedStart(), m.capturedEnd(), m.captured(1).toLatin1(), *bytes});
    }
    return words;
}

} // namespace

QString decodeEncodedWords(const QString &text)
{
    const QList<EncodedWord> words = encodedWordsIn(text);
    if (words.isEmpty())
        return text;

    QString out;
    qsizetype copied = 0; // text before this position has been written to out
    for (qsizetype i = 0; i < words.size();) {
        // A run of words of one character set with nothing but blanks between them is
        // decoded as one piece; the blanks go.
        qsizetype last = i;
        QByteArray bytes = words.at(i).bytes;
        while (last + 1 < words.size() &&
               words.at(last + 1).charset.compare(words.at(i).charset, Qt::CaseInsensitive) == 0 &&
               onlyBlanks(QStringView(text).sliced(words.at(last).end, words.at(last + 1).start -
                                                                           words.at(last).end))) {
            ++last;
            bytes += words.at(last).bytes;
        }

        const QStringView before = QStringView(text).sliced(copied, words.at(i).start - copied);
        // Blanks between this run and an encoded word before it go too.
        const bool afterWord = i > 0 && copied == words.at(i - 1).end;
        if (!(afterWord && onlyBlanks(before)))
            out += before;

        QStringDecoder decoder(words.at(i).charset.constData());
        if (decoder.isValid())
            out += decoder.decode(bytes);
        else
            out +=
                QStringView(text).sliced(words.at(i).start, words.at(last).end - words.at(i).start);
        copied = words.at(last).end;
        i = last + 1;
    }
    out += QStringView(text).sliced(copied);
    return out;
}

} // namespace ringlark
