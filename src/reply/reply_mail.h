#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>

namespace ringlark {

// The mail that tells the sender of a trigger what became of it. Every text in it is ours
// or from the settings; the only parts taken from the trigger mail are its sender's address
// and its Message-ID, and both are checked before use (mailboxAddress, messageIdOf).
struct ReplyMail
{
    QString from;      // an address checked by mailboxAddress
    QString to;        // likewise
    QString inReplyTo; // the trigger's Message-ID, "<...>"; empty: none
    QString subject;   // the whole subject, "RINGLARK: ..."
    QString body;      // lines separated by LF
    QDateTime date;    // local time of the machine
    QString idDomain;  // the right-hand side of our own Message-ID
    QString idUnique;  // the left-hand side; unique per mail
};

// The message as it goes to the server: CR LF line ends, RFC 2047 UTF-8 subject, a UTF-8
// text/plain body in base64 (safe through any server, with or without 8BITMIME), and
// Auto-Submitted: auto-replied (RFC 3834) so that no autoresponder answers it.
QByteArray composeReply(const ReplyMail &mail);

// A plain address (local@domain) fit for a header and an SMTP envelope: no blanks, controls,
// angle brackets or other separators. nullopt otherwise.
std::optional<QString> mailboxAddress(const QString &text);

// A Message-ID field's value reduced to its one "<...>" token; nullopt when it has none
// that is safe to write into a header.
std::optional<QString> messageIdOf(const QString &field);

// The subject field for a text: printable ASCII as it is, anything else as RFC 2047 words
// of at most 75 characters, folded onto continuation lines, never splitting a character.
QByteArray subjectField(const QString &subject);

} // namespace ringlark
