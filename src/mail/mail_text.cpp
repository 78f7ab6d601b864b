#include "mail_text.h"

namespace ringlark {

QString withoutComments(QStringView text, QuotedText quoted)
{
    const bool keepQuoted = quoted == QuotedText::Keep;
    QString out;
    out.reserve(text.size());
    int depth = 0;
    bool inQuotes = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (inQuotes) {
            if (keepQuoted)
                out += c;
            if (c == QLatin1Char('\\') && i + 1 < text.size()) {
                if (keepQuoted)
                    out += text.at(i + 1);
                ++i;
            } else if (c == QLatin1Char('"')) {
                inQuotes = false;
            }
        } else if (depth > 0) {
            if (c == QLatin1Char('\\'))
                ++i;
            else if (c == QLatin1Char('('))
                ++depth;
            else if (c == QLatin1Char(')') && --depth == 0)
                out += QLatin1Char(' ');
        } else if (c == QLatin1Char('(')) {
            depth = 1;
        } else if (c == QLatin1Char('"')) {
            inQuotes = true;
            out += keepQuoted ? c : QLatin1Char(' ');
        } else {
            out += c;
        }
    }
    return out;
}

QString shownText(const QString &text)
{
    QString out = text;
    for (QChar &c : out) {
        const char16_t u = c.unicode();
        // C0, DEL and C1, and the Unicode line and paragraph separators.
        if (u < 0x20 || (u >= 0x7f && u < 0xa0) || u == 0x2028 || u == 0x2029)
            c = QLatin1Char(' ');
    }
    return out;
}

} // namespace ringlark
