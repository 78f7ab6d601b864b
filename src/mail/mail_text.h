#pragma once

#include <QString>
#include <QStringView>

namespace ringlark {

// Blanks between the tokens of a header field: space, tab, and the line breaks that folding
// leaves behind.
inline bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\r') ||
           c == QLatin1Char('\n');
}

// 0 to 9 only: a full-width or Arabic-Indic digit is not a digit of a date or a code.
inline bool isAsciiDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// What becomes of a quoted string when comments are removed.
enum class QuotedText
{
    Keep,   // kept with its quotes, so that a "(" inside it starts no comment
    Blank   // replaced by one blank, like a comment
};

// RFC 5322 comments, nested and with backslash quoting, each become one blank. An unclosed
// comment runs to the end of the text.
QString withoutComments(QStringView text, QuotedText quoted = QuotedText::Keep);

// A text from a mail as the log, the windows and the journal show it: every control
// character (CR and LF included) becomes one blank, so that a decoded From or Subject can
// never start a line of its own in the log or hide what follows it.
QString shownText(const QString &text);

} // namespace ringlark
