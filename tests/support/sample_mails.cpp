#include "sample_mails.h"

#include <QList>

namespace ringlark::test {

QByteArray realisticMail(const MailSpec &mailSpec)
{
    QByteArray m;
    m += "Return-Path: <" + mailSpec.fromAddress + ">\r\n";
    m += "Delivered-To: ringlark@example.net\r\n";
    m += "Received: from mail-sor-f41.google.com (mail-sor-f41.google.com [209.85.220.41])\r\n"
         "\tby mx.example.net (Postfix) with ESMTPS id 4F1A2B3C4D\r\n"
         "\tfor <ringlark@example.net>; Sat, 25 Sep 2004 09:00:01 +0900 (JST)\r\n";
    if (mailSpec.dkim) {
        m += "DKIM-Signature: v=1; a=rsa-sha256; c=relaxed/relaxed;\r\n"
             "        d=example.jp; s=20210112; t=1096070400;\r\n"
             "        h=from:to:subject:date:message-id:mime-version:from:to:cc:subject\r\n"
             "         :date:message-id:reply-to;\r\n"
             "        bh=47DEQpj8HBSa+/TImW+5JCeuQeRkm5NMpJWZG3hSuFU=;\r\n"
             "        b=Subject:dGhpcyBpcyBub3QgYSByZWFsIHNpZ25hdHVyZQ==From:QmFzZTY0\r\n"
             "         Date:Tk9UQURBVEU=\r\n";
    }
    if (mailSpec.japaneseName)
        m += "From: =?ISO-2022-JP?B?GyRCOzNFREJATzobKEI=?=\r\n <" + mailSpec.fromAddress + ">\r\n";
    else
        m += "From: " + mailSpec.fromAddress + "\r\n";
    m += "To: ringlark@example.net\r\n";
    m += "Subject: " + mailSpec.subject + "\r\n";
    if (!mailSpec.date.isEmpty())
        m += "Date: " + mailSpec.date + "\r\n";
    m += "Message-ID: <CAF=ringlark+" + QByteArray::number(qHash(mailSpec.subject + mailSpec.date)) +
         "@mail.example.jp>\r\n";
    m += "MIME-Version: 1.0\r\n";
    m += "Content-Type: text/plain; charset=\"ISO-2022-JP\"\r\n";
    m += "Content-Transfer-Encoding: 7bit\r\n";
    m += "\r\n";
    m += mailSpec.firstBodyLine + "\r\n";
    for (int i = 1; i < mailSpec.bodyLines; ++i)
        m += "body line " + QByteArray::number(i) + "\r\n";
    return m;
}

QByteArray topReplyBody(const QByteArray &mail)
{
    QByteArray out;
    const QList<QByteArray> lines = mail.split('\n');
    bool inBody = false;
    for (QByteArray line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.startsWith('.'))
            line.prepend('.');
        out += line + "\r\n";
        if (inBody)
            break;
        if (line.isEmpty())
            inBody = true;
    }
    return out + ".\r\n";
}

QList<MailSpec> everydayMailbox()
{
    MailSpec old;
    old.fromAddress = "news@shop.example.com";
    old.japaneseName = false;
    old.subject = "Weekly offers";
    old.date = "Mon, 20 Sep 2004 08:00:00 +0900";
    MailSpec trigger;
    trigger.fromAddress = "owner@example.jp";
    trigger.subject = "RINGLARK: please dial now.";
    trigger.date = "Sat, 25 Sep 2004 09:00:00 +0900";
    MailSpec newer; // signed, its h= list naming from, subject and date above the real From
    newer.fromAddress = "friend@example.org";
    newer.subject = "=?ISO-2022-JP?B?GyRCRnxLXDhsJE43b0w+GyhC?=";
    newer.date = "26 Sep 2004 10:11:12 +0900 (JST)";
    newer.firstBodyLine = ".";
    MailSpec newest;
    newest.fromAddress = "list@lists.example.net";
    newest.japaneseName = false;
    newest.subject = "Re: [list] Subject ending with a dot.";
    newest.date = "Tue, 28 Sep 2004 23:59:59 -0700 (PDT)";
    return {old, trigger, newer, newest};
}

QList<QByteArray> mailboxWithTrigger()
{
    MailSpec trigger;
    trigger.fromAddress = "owner@example.jp";
    trigger.subject = "Please dial now.";
    trigger.date = "Sat, 25 Sep 2004 09:00:00 +0900";
    MailSpec newer;
    newer.subject = "lunch?";
    newer.date = "Sun, 26 Sep 2004 12:00:00 +0900";
    return {realisticMail(trigger), realisticMail(newer)};
}

} // namespace ringlark::test
