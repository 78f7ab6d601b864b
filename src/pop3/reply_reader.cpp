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

bool ReplyReader::nextLine(QByteArray &line, bool &tooLarge)
{
    const qsizetype end = m_buffer.indexOf('\n', m_scanFrom);
    if (end < 0) {
        m_scanFrom = m_buffer.size();
        tooLarge = m_buffer.size() - m_pos > kMaxLineBytes;
        return false;
    }
    qsizetype length = end - m_pos;
    if (length > 0 && m_buffer.at(end - 1) == '\r')
        --length;
    tooLarge = length > kMaxLineBytes;
    line = m_buffer.mid(m_pos, length);
    m_pos = end + 1;
    m_scanFrom = m_pos;
    return !tooLarge;
}

ReplyReader::Result ReplyReader::take(Kind kind, Reply &out)
{
    QByteArray line;
    bool tooLarge = false;
    while (nextLine(line, tooLarge)) {
        if (!m_open) {
            m_reply.status = line;
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
        if (m_replyBytes > kMaxReplyBytes || m_reply.lines.size() >= kMaxReplyLines)
            return Result::TooLarge;
        m_reply.lines.append(line);
    }
    return tooLarge ? Result::TooLarge : Result::Incomplete;
}

} // namespace ringlark
