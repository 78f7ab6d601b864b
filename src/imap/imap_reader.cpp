#include "imap_reader.h"

#include "pop3_errors.h"

namespace ringlark {

namespace {

// The literal a line announces at its end, "{n}" or LITERAL+'s "{n+}": its length, -1 when
// the line announces none, -2 when the count is beyond any cap.
qint64 announcedLiteral(const QByteArray &line)
{
    if (!line.endsWith('}'))
        return -1;
    const qsizetype open = line.lastIndexOf('{');
    if (open < 0)
        return -1;
    QByteArrayView digits = QByteArrayView(line).sliced(open + 1, line.size() - open - 2);
    if (digits.endsWith('+'))
        digits.chop(1);
    if (digits.isEmpty() || digits.size() > 18)
        return digits.isEmpty() ? -1 : -2;
    qint64 n = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9')
            return -1;
        n = n * 10 + (c - '0');
    }
    return n;
}

bool isAtomChar(char c)
{
    return c > ' ' && c != '(' && c != ')' && c != '"' && c != '{' && c != 0x7f;
}

} // namespace

QByteArray ImapReader::Response::tag() const
{
    const qsizetype space = text.indexOf(' ');
    return space < 0 ? text : text.left(space);
}

QByteArray ImapReader::Response::word(int index) const
{
    qsizetype from = 0;
    for (int i = 0; i < index; ++i) {
        from = text.indexOf(' ', from);
        if (from < 0)
            return {};
        ++from;
    }
    const qsizetype end = text.indexOf(' ', from);
    return (end < 0 ? text.mid(from) : text.mid(from, end - from)).toUpper();
}

void ImapReader::reset()
{
    m_lines.reset();
    m_open = Response();
    m_literalLeft = -1;
    m_bytes = 0;
}

qsizetype ImapReader::heldBytes() const
{
    constexpr qsizetype kPerLiteral = qsizetype(sizeof(QByteArray)) + 32;
    return m_lines.capacity() + m_open.text.capacity() + m_bytes +
           m_open.literals.capacity() * kPerLiteral;
}

ImapReader::Result ImapReader::take(Response &out)
{
    for (;;) {
        if (m_literalLeft >= 0) {
            QByteArray literal;
            if (!m_lines.takeBytes(m_literalLeft, literal))
                return Result::Incomplete;
            m_open.literals.append(literal);
            m_literalLeft = -1;
            continue;
        }
        QByteArray line;
        switch (m_lines.next(line)) {
        case LineBuffer::Line::None:
            return Result::Incomplete;
        case LineBuffer::Line::TooLong:
        case LineBuffer::Line::Partial:
            return Result::TooLarge;
        case LineBuffer::Line::Taken:
            break;
        }
        m_bytes += line.size() + 2;
        if (m_bytes > kMaxReplyBytes)
            return Result::TooLarge;
        m_open.text += line;
        const qint64 literal = announcedLiteral(line);
        if (literal == -1) {
            out = std::exchange(m_open, Response());
            m_bytes = 0;
            return Result::Complete;
        }
        // Refused before it is read: a count no sound response reaches.
        if (literal < 0 || literal > kMaxReplyBytes - m_bytes ||
            m_open.literals.size() >= kMaxReplyLines)
            return Result::TooLarge;
        m_bytes += literal;
        m_literalLeft = literal;
    }
}

std::optional<QList<ImapToken>> imapTokens(const ImapReader::Response &response)
{
    QList<ImapToken> out;
    const QByteArray &t = response.text;
    qsizetype literal = 0;
    for (qsizetype i = 0; i < t.size();) {
        const char c = t.at(i);
        if (c == ' ') {
            ++i;
        } else if (c == '(' || c == ')') {
            out.append({c == '(' ? ImapToken::Kind::Open : ImapToken::Kind::Close, {}});
            ++i;
        } else if (c == '"') {
            QByteArray s;
            for (++i; i < t.size() && t.at(i) != '"'; ++i) {
                if (t.at(i) == '\\' && i + 1 < t.size())
                    ++i;
                s += t.at(i);
            }
            if (i >= t.size())
                return std::nullopt;
            ++i;
            out.append({ImapToken::Kind::String, s});
        } else if (c == '{') {
            const qsizetype close = t.indexOf('}', i);
            if (close < 0 || literal >= response.literals.size())
                return std::nullopt;
            out.append({ImapToken::Kind::String, response.literals.at(literal++)});
            i = close + 1;
        } else {
            const qsizetype from = i;
            while (i < t.size() && isAtomChar(t.at(i)))
                ++i;
            if (i == from)
                ++i; // a control character: not part of anything
            else
                out.append({ImapToken::Kind::Atom, t.mid(from, i - from)});
        }
    }
    return out;
}

std::optional<quint64> responseCodeNumber(const QByteArray &text, const QByteArray &code)
{
    const QByteArray open = '[' + code + ' ';
    const qsizetype at = text.toUpper().indexOf(open);
    if (at < 0)
        return std::nullopt;
    const qsizetype from = at + open.size();
    qsizetype end = from;
    while (end < text.size() && text.at(end) >= '0' && text.at(end) <= '9')
        ++end;
    bool ok = false;
    const quint64 n = text.mid(from, end - from).toULongLong(&ok);
    if (!ok || end >= text.size() || text.at(end) != ']')
        return std::nullopt;
    return n;
}

QList<QByteArray> capabilityWords(const QByteArray &text)
{
    const QByteArray upper = text.toUpper();
    qsizetype from = upper.indexOf("[CAPABILITY ");
    qsizetype end = -1;
    if (from >= 0) {
        from += 12;
        end = upper.indexOf(']', from);
    } else if (upper.startsWith("* CAPABILITY ")) {
        from = 13;
    } else {
        return {};
    }
    return upper.mid(from, end < 0 ? -1 : end - from).split(' ');
}

std::optional<QByteArray> imapQuoted(const QByteArray &value)
{
    bool atom = !value.isEmpty() && value.toUpper() != "NIL";
    QByteArray quoted = "\"";
    for (const char c : value) {
        if (static_cast<unsigned char>(c) >= 0x80 || c == '\0')
            return std::nullopt;
        atom = atom && isAtomChar(c) && c != '%' && c != '*' && c != ']' && c != '\\';
        if (c == '"' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    return atom ? value : quoted + '"';
}

} // namespace ringlark
