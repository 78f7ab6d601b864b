#include "reply_reader.h"

#include "pop3_errors.h"

namespace ringlark {

bool ReplyReader::Reply::positive() const
{
    return status.startsWith("+OK") && (status.size() == 3 || status.at(3) == ' ');
}

void ReplyReader::reset()
{
    m_lines.reset();
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
    return m_lines.capacity() + m_replyBytes + m_reply.lines.capacity() * kPerLine;
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
            if (!m_lines.skipLine())
                return Result::Incomplete;
            m_inLongLine = false;
            continue;
        }
        switch (m_lines.next(line)) {
        case LineBuffer::Line::None:
            return Result::Incomplete;
        case LineBuffer::Line::Partial:
            m_inLongLine = true;
            continue;
        case LineBuffer::Line::TooLong:
            continue;
        case LineBuffer::Line::Taken:
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
        const LineBuffer::Line got = m_lines.next(line);
        if (got == LineBuffer::Line::None)
            return Result::Incomplete;
        if (!m_open && got != LineBuffer::Line::Taken)
            return Result::TooLarge; // an outsized status line: no reply to read on
        if (got != LineBuffer::Line::Taken) {
            m_inLongLine = got == LineBuffer::Line::Partial;
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
