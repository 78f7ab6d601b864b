#pragma once

#include <QByteArray>

namespace ringlark {

// What a server sent, as it arrived in chunks split anywhere, cut into lines for the POP3
// and IMAP readers. A line ends at LF; a CR before it is not part of the line. No line
// longer than kMaxLineBytes is ever held. Positions count bytes since the last reset,
// across chunks.
class LineBuffer
{
public:
    enum class Line
    {
        None,    // no complete line yet
        Taken,   // `line` holds the next line
        TooLong, // a complete line past the cap, passed over
        Partial  // no line end yet, but past the cap already
    };

    void reset();
    void append(const QByteArray &chunk);
    Line next(QByteArray &line);
    // Passes over what is left of a line; false while its end has not arrived.
    bool skipLine();
    // The next n bytes as they are (an IMAP literal), once all of them have arrived.
    bool takeBytes(qsizetype n, QByteArray &out);

    qint64 takenBytes() const { return m_dropped + m_pos; }
    qint64 appendedBytes() const { return m_dropped + m_buffer.size(); }
    bool holdsData() const { return m_pos < m_buffer.size(); }
    qsizetype capacity() const { return m_buffer.capacity(); }

private:
    QByteArray m_buffer;
    qsizetype m_pos = 0;      // start of the first byte not yet taken
    qint64 m_dropped = 0;     // taken bytes already removed from the front of m_buffer
    qsizetype m_scanFrom = 0; // where the search for the next line end resumes
};

} // namespace ringlark
