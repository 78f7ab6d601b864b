#pragma once

#include "line_buffer.h"

#include <QByteArray>
#include <QList>

#include <optional>

namespace ringlark {

// Reassembles IMAP responses (RFC 3501) from TCP chunks split anywhere. A response is a line,
// or several when it carries literals: a line that ends in "{n}" is followed by n raw bytes
// and then goes on. Both the line and a literal may be cut anywhere, a literal's bytes may
// hold anything (line ends included), and several responses may share a chunk.
//
// The same caps as the POP3 reader keep memory bounded against a hostile server: a line
// longer than kMaxLineBytes, a response (lines and literals) larger than kMaxReplyBytes, or
// one of more than kMaxReplyLines literals, is TooLarge, and a literal announced larger than
// what is left is refused at once, before a byte of it is held.
class ImapReader
{
public:
    enum class Result
    {
        Incomplete,
        Complete,
        TooLarge
    };

    struct Response
    {
        // The lines without their CR LF, joined; each literal's "{n}" marker stays in place.
        QByteArray text;
        QList<QByteArray> literals;

        bool untagged() const { return text.startsWith("* "); }
        bool continuation() const { return text.startsWith('+'); }
        // The first word: "*", "+" or a command's tag.
        QByteArray tag() const;
        // For a tagged or untagged status response: "OK", "NO", "BAD", "BYE", "PREAUTH",
        // else the second word as it stands (a number for "* 5 EXISTS").
        QByteArray word(int index) const;
    };

    // Drops the partial response: at every session start and close.
    void reset();
    void append(const QByteArray &chunk) { m_lines.append(chunk); }
    Result take(Response &out);

    qint64 takenBytes() const { return m_lines.takenBytes(); }
    qint64 appendedBytes() const { return m_lines.appendedBytes(); }
    bool holdsData() const { return m_lines.holdsData() || m_literalLeft >= 0; }
    qsizetype heldBytes() const;

private:
    LineBuffer m_lines;
    Response m_open;
    qint64 m_literalLeft = -1; // bytes of the literal being read; -1 while reading a line
    qint64 m_bytes = 0;        // of the open response
};

// One token of a response: an atom (NIL and numbers included), a string (quoted or literal,
// its content), or a parenthesis.
struct ImapToken
{
    enum class Kind
    {
        Atom,
        String,
        Open,
        Close
    };
    Kind kind = Kind::Atom;
    QByteArray text;
};

// The tokens of a response, its tag first. Brackets belong to atoms ("BODY[HEADER]"). nullopt
// for what cannot be read: an unclosed quote, a literal marker without its literal.
std::optional<QList<ImapToken>> imapTokens(const ImapReader::Response &response);

// The number in a response code, "[UIDVALIDITY 3857529045]" for code "UIDVALIDITY", when the
// response carries it.
std::optional<quint64> responseCodeNumber(const QByteArray &text, const QByteArray &code);

// The words of a CAPABILITY response or response code, upper-cased.
QList<QByteArray> capabilityWords(const QByteArray &text);

// A string as an IMAP astring argument: an atom when it is one, else quoted. nullopt when
// it must go as a literal (a character beyond 7-bit ASCII); CR and LF the caller refuses.
std::optional<QByteArray> imapQuoted(const QByteArray &value);

} // namespace ringlark
