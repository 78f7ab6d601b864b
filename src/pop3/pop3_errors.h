#pragma once

#include <QString>

namespace ringlark {

// Every failure of our own that ends a session or is reported like a socket error. The
// codes are ours (from 101 up, clear of Qt's socket error numbers, 0 to 24 and -1), one per
// kind of failure, shown as "ERR(" code ";" text ")". This is the one list of them.
enum class Pop3Error
{
    StatReplyUnreadable = 101,  // STAT "+OK" without a readable message count
    MessageCountTooLarge = 102, // a count beyond what a message number can hold
    ReplyTooLarge = 103,        // a line or a multi-line reply past its size cap
    UnsafeCredential = 104,     // CR or LF in the user name or password: never sent
    ConnectionLost = 105,       // the server closed the connection in the middle
    BadServerAddress = 106,     // the server setting is empty or not a server address
    SessionTooLong = 107,       // the session outlived its overall deadline
    ImapUnreadable = 108,       // an IMAP response the session cannot read
    MailboxRefused = 109,       // EXAMINE INBOX refused
};

struct Pop3ErrorInfo
{
    Pop3Error error;
    const char16_t *text;
};

// The code and text of a failure.
int errorCode(Pop3Error error);
QString errorText(Pop3Error error);
// "ERR(" code ";" text ")", the form both the result view and the message box show.
QString errorReport(int code, const QString &text);
QString errorReport(Pop3Error error);

// Size caps that keep memory bounded against a hostile or broken server. A status line or
// a header line longer than kMaxLineBytes, or a multi-line reply larger than
// kMaxReplyBytes or of more than kMaxReplyLines lines, ends the session with
// ReplyTooLarge. RFC 1939 allows 512 octets for a status line; real headers carry lines
// of a few kilobytes (DKIM, ARC) and a few hundred lines at most. The line count is capped
// on its own because every held line costs a few dozen bytes of bookkeeping: 8 MiB of
// empty lines would otherwise hold well over 100 MB.
inline constexpr qsizetype kMaxLineBytes = 1024 * 1024;
inline constexpr qsizetype kMaxReplyBytes = 8 * 1024 * 1024;
inline constexpr qsizetype kMaxReplyLines = 64 * 1024;

} // namespace ringlark
