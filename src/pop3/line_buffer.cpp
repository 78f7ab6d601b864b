#include "line_buffer.h"

#include "pop3_errors.h"

namespace ringlark {

void LineBuffer::reset()
{
    m_buffer.clear();
    m_pos = 0;
    m_dropped = 0;
    m_scanFrom = 0;
}

void LineBuffer::append(const QByteArray &chunk)
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

LineBuffer::Line LineBuffer::next(QByteArray &line)
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

bool LineBuffer::skipLine()
{
    const qsizetype end = m_buffer.indexOf('\n', m_pos);
    m_pos = end < 0 ? m_buffer.size() : end + 1;
    m_scanFrom = m_pos;
    return end >= 0;
}

bool LineBuffer::takeBytes(qsizetype n, QByteArray &out)
{
    if (m_buffer.size() - m_pos < n)
        return false;
    out = m_buffer.mid(m_pos, n);
    m_pos += n;
    m_scanFrom = m_pos;
    return true;
}

} // namespace ringlark
