#pragma once

#include "line_buffer.h"

#include <QByteArray>
#include <QList>

namespace ringlark {

// Reassembles POP3 replies from TCP chunks split anywhere, line by line. Several replies may
// share a chunk; the caller takes them one at a time, saying for each whether a positive
// answer is a multi-line one (TOP), because that follows from the command, not the reply.
class ReplyReader
{
public:
    enum class Kind
    {
        SingleLine,
        MultiLine
    };
    enum class Result
    {
        Incomplete,
        Complete,
        // A multi-line reply past a cap was read to its end and dropped: `out` holds its
        // status, its first Date line if any, and its size.
        Dropped,
        TooLarge // a status line past its cap: the reader must be reset
    };

    struct Reply
    {
        QByteArray status;       // the status line, without its line end
        QList<QByteArray> lines; // a multi-line reply's lines: dot-unstuffed, without the "."
                                 // line and without line ends
        qint64 bytes = 0;        // a dropped reply's size, its status line included

        // "+OK" followed by a space or the end of the line. Dovecot answers a bare "+OK".
        bool positive() const;
        bool negative() const { return status.startsWith("-ERR"); }
    };

    // Drops the partial line and any open reply: at every session start and close.
    void reset();
    void append(const QByteArray &chunk) { m_lines.append(chunk); }
    // Bytes taken since the last reset, across chunks: where the last reply taken ended in
    // the stream appended so far.
    qint64 takenBytes() const { return m_lines.takenBytes(); }
    // Bytes appended since the last reset.
    qint64 appendedBytes() const { return m_lines.appendedBytes(); }
    // True while bytes of a reply not yet taken are held.
    bool holdsData() const { return m_lines.holdsData() || m_open; }
    // About how much memory the reader holds: its buffer, and the open reply's lines with
    // their bookkeeping. The caps keep it to a few tens of megabytes at most.
    qsizetype heldBytes() const;

    // Takes the next complete reply into `out`. A multi-line reply with a line or a size
    // past the caps (pop3_errors.h) is read on to its end without being held, and comes out
    // Dropped, so that one outsized mail cannot end every walk above the mails below it.
    // TooLarge: a status line past its cap.
    Result take(Kind kind, Reply &out);

private:
    Result drop(Reply &out);
    void startDropping();

    LineBuffer m_lines;
    bool m_open = false; // a positive multi-line reply's status has been read
    Reply m_reply;
    qsizetype m_replyBytes = 0;
    qint64 m_replyStart = 0;   // where the open reply's status line began in the stream
    bool m_dropping = false;   // the open reply is past a cap: read on, hold nothing
    bool m_inLongLine = false; // dropping, in the middle of an outsized line
    bool m_headerDone = false; // dropping, past the empty line that ends the header
};

} // namespace ringlark
