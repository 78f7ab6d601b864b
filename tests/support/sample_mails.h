#pragma once

#include <QByteArray>
#include <QList>

namespace ringlark::test {

// What a generated mail carries. The header looks like what large providers deliver: a
// Return-Path and Received trail, a DKIM-Signature whose h= list names from:to:subject:date
// above the real From, a folded ISO-2022-JP display name (address on the next line), MIME
// fields, and a body whose first line starts with a "." so that the server dot-stuffs it.
struct MailSpec
{
    QByteArray fromAddress = "taro@example.jp";
    bool japaneseName = true;     // From: =?ISO-2022-JP?B?...?=\r\n <address>
    QByteArray subject = "hello"; // raw header text, may be an encoded word
    QByteArray date = "Sat, 25 Sep 2004 09:00:00 +0900"; // empty: no Date header
    bool dkim = true;
    QByteArray firstBodyLine = ".hidden line"; // dot-stuffed on the wire
    int bodyLines = 3;
};

// The mail as stored in a mailbox, lines ended by CR LF.
QByteArray realisticMail(const MailSpec &mailSpec);

// A small everyday mailbox, oldest first: a newsletter; the trigger mail (index 1: from
// owner@example.jp, subject "RINGLARK: please dial now.", 2004/09/25 09:00:00); a newer
// DKIM-signed mail with an encoded Japanese subject and a dot-stuffed body; and the newest,
// from a list, with a subject ending in "." and a zone comment.
QList<MailSpec> everydayMailbox();

// A mailbox of two stored mails: the trigger mail (message 1, from owner@example.jp, subject
// "Please dial now.") below a newer, ordinary one.
QList<QByteArray> mailboxWithTrigger();

// What a POP3 server sends for TOP n 1 of that mail: the header, the blank line and the first
// body line, dot-stuffed, ended by the "." line (without the "+OK" status line).
QByteArray topReplyBody(const QByteArray &mail);

} // namespace ringlark::test
