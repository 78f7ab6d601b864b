#include "reply_reader.h"

#include "pop3_errors.h"

namespace ringlark {

bool ReplyReader::Reply::positive() const
{
    return status.startsWith("+OK") && (status.size() == 3 || status.at(3) == ' ');
}

void ReplyReader::reset()
{
    m_buffer.clear();
    m_pos = 0;
    m_dropped = 0;
    m_scanFrom = 0;
    m_open = false;
    m_reply = Reply();
    m_replyBytes = 0;
    m_replyStart = 0;
    m_dropping = m_inLongLine = m_headerDone = false;
}

qsizetype ReplyReader::heldBytes() const
{
    // Each held line also costs its list slot and its own allocation's header.
    constexpr qsizetype kPerLine = qsizetype(sizeof(QByteArray)) + 32;
    return m_buffer.capacity() + m_replyBytes + m_reply.lines.capacity() * kPerLine;
}

void ReplyReader::append(const QByteArray &chunk)
{
    // Drop what was taken already once it is the larger part, so that the buffer stays as
    // small as the reply in hand without moving bytes on every chunk.
    if (m_pos > 4096 && m_pos * 2 > m_buffer.size()) {
        m_buffer.remove(0, m_pos);
        m_dropped += m_pos;
        m_scanFrom -= m_pos;
        m_pos = 0;
    }
    m_buffer.append(chunk);
}

ReplyReader::Line ReplyReader::nextLine(QByteArray &line)
{
    const qsizetype end = m_buffer.indexOf('\n', m_scanFrom);
    if (end < 0) {
        m_scanFrom = m_buffer.size();
        return m_buffer.size() - m_pos > kMaxLineBytes ? Line::Partial : Line::None;
    }
    qsizetype length = end - m_pos;
    if (length > 0 && m_buffer.at(end - 1) == '\r')
        --length;
    const bool tooLong = length > kMaxLineBytes;
    if (!tooLong)
        line = m_buffer.mid(m_pos, length);
    m_pos = end + 1;
    m_scanFrom = m_pos;
    return tooLong ? Line::TooLong : Line::Taken;
}

void ReplyReader::startDropping()
{
    // Only the Date line is kept, so that the log can say which mail was passed over.
    QList<QByteArray> date;
    for (const QByteArray &line : std::as_const(m_reply.lines)) {
        if (line.isEmpty())
            break;
        if (line.left(5).compare("date:", Qt::CaseInsensitive) == 0) {
            date.append(line);
            break;
        }
    }
    m_headerDone = m_reply.lines.contains(QByteArray());
    m_reply.lines = date;
    m_replyBytes = 0;
    m_dropping = true;
}

ReplyReader::Result ReplyReader::drop(Reply &out)
{
    QByteArray line;
    for (;;) {
        if (m_inLongLine) {
            const qsizetype end = m_buffer.indexOf('\n', m_pos);
            m_pos = end < 0 ? m_buffer.size() : end + 1;
            m_scanFrom = m_pos;
            if (end < 0)
                return Result::Incomplete;
            m_inLongLine = false;
            continue;
        }
        switch (nextLine(line)) {
        case Line::None:
            return Result::Incomplete;
        case Line::Partial:
            m_inLongLine = true;
            continue;
        case Line::TooLong:
            continue;
        case Line::Taken:
            break;
        }
        if (line == ".") {
            m_reply.bytes = takenBytes() - m_replyStart;
            out = std::exchange(m_reply, Reply());
            m_open = m_dropping = m_headerDone = false;
            return Result::Dropped;
        }
        if (line.isEmpty())
            m_headerDone = true;
        else if (!m_headerDone && m_reply.lines.isEmpty() &&
                 line.left(5).compare("date:", Qt::CaseInsensitive) == 0)
            m_reply.lines.append(line);
    }
}

ReplyReader::Result ReplyReader::take(Kind kind, Reply &out)
{
    if (m_dropping)
        return drop(out);
    QByteArray line;
    for (;;) {
        const qint64 lineStart = takenBytes();
        const Line got = nextLine(line);
        if (got == Line::None)
            return Result::Incomplete;
        if (!m_open && got != Line::Taken)
            return Result::TooLarge; // an outsized status line: no reply to read on
        if (got != Line::Taken) {
            m_inLongLine = got == Line::Partial;
            startDropping();
            return drop(out);
        }
        if (!m_open) {
            m_reply.status = line;
            m_replyStart = lineStart;
            if (kind == Kind::SingleLine || !m_reply.positive()) {
                out = std::exchange(m_reply, Reply());
                return Result::Complete;
            }
            m_open = true;
            continue;
        }
        if (line == ".") {
            out = std::exchange(m_reply, Reply());
            m_open = false;
            m_replyBytes = 0;
            return Result::Complete;
        }
        if (line.startsWith('.'))
            line.remove(0, 1);
        m_replyBytes += line.size() + 2;
        m_reply.lines.append(line);
        if (m_replyBytes > kMaxReplyBytes || m_reply.lines.size() > kMaxReplyLines) {
            startDropping();
            return drop(out);
        }
    }
}

} // namespace ringlark
