#!/usr/bin/python3
"""Writes the committed seed corpus of the fuzz targets (fuzz/corpus/<target>/).

Each seed is a realistic input: mails as large providers and Japanese clients send them, the
Date forms real mailers write, and Dovecot-like server exchanges. The byte layouts are those
described at the top of header_target.cpp, session_target.cpp and imap_target.cpp. Run it again after changing
a layout; the files are committed so that the fuzz run needs no Python.
"""

import os
import shutil

HERE = os.path.dirname(os.path.abspath(__file__))

# ---------------------------------------------------------------- mails

DKIM = (b"DKIM-Signature: v=1; a=rsa-sha256; c=relaxed/relaxed;\r\n"
        b"        d=example.jp; s=20210112; t=1096070400;\r\n"
        b"        h=from:to:subject:date:message-id:mime-version:from:to:cc:subject\r\n"
        b"         :date:message-id:reply-to;\r\n"
        b"        bh=47DEQpj8HBSa+/TImW+5JCeuQeRkm5NMpJWZG3hSuFU=;\r\n"
        b"        b=Subject:dGhpcyBpcyBub3QgYSByZWFsIHNpZ25hdHVyZQ==From:QmFzZTY0\r\n"
        b"         Date:Tk9UQURBVEU=\r\n")

RECEIVED = (b"Return-Path: <taro@example.jp>\r\n"
            b"Delivered-To: ringlark@example.net\r\n"
            b"Received: from mail-sor-f41.google.com (mail-sor-f41.google.com [209.85.220.41])\r\n"
            b"\tby mx.example.net (Postfix) with ESMTPS id 4F1A2B3C4D\r\n"
            b"\tfor <ringlark@example.net>; Sat, 25 Sep 2004 09:00:01 +0900 (JST)\r\n")


def mail(subject=b"Please dial now", date=b"Sat, 25 Sep 2004 09:00:00 +0900",
         sender=b"Taro Yamada <taro@example.jp>", japanese=False, dkim=False,
         body=b".hidden line", eol=b"\r\n"):
    """A mail header, the blank line and the first body line, as TOP n 1 returns them."""
    m = RECEIVED
    if dkim:
        m += DKIM
    if japanese:
        m += b"From: =?ISO-2022-JP?B?GyRCOzNFREJATzobKEI=?=\r\n <taro@example.jp>\r\n"
    elif sender is not None:
        m += b"From: " + sender + b"\r\n"
    m += b"To: ringlark@example.net\r\n"
    if subject is not None:
        m += b"Subject: " + subject + b"\r\n"
    if date is not None:
        m += b"Date: " + date + b"\r\n"
    m += (b"Message-ID: <CAF=ringlark@mail.example.jp>\r\n"
          b"MIME-Version: 1.0\r\n"
          b"Content-Type: text/plain; charset=\"ISO-2022-JP\"\r\n"
          b"\r\n" + body + b"\r\n")
    return m.replace(b"\r\n", eol)


def dot_stuffed(text, eol=b"\r\n"):
    """The TOP reply body on the wire: lines starting with "." doubled, then the "." line."""
    lines = text.split(b"\n")
    if lines and lines[-1] == b"":
        lines.pop()
    out = b""
    for line in lines:
        cr = line.endswith(b"\r")
        if cr:
            line = line[:-1]
        if line.startswith(b"."):
            line = b"." + line
        out += line + (b"\r\n" if cr else b"\n")
    return out + b"." + eol


DATES = [
    b"Sat, 25 Sep 2004 09:00:00 +0900", b"25 Sep 2004 09:00:00 +0900",
    b"Tue, 1 Jul 2003 10:52 -0700 (PDT)", b"Sat, 25 Sep 2004 23:30:00 -1200",
    b"Sun, 29 Mar 2020 02:30:00 +0100", b"Sat, 25 Sep 2004 09:00:00 +0900 (JST)",
    b"Sat, 25 Sep 2004 09:00:00 +0900 (Japan (Tokyo\\) time))",
    b"Fri, 21 Nov 1997 09(comment):55:06 -0600", b"Mon, 3 Feb 1997 08:05:01 EST",
    b"25 Sep 2004 09:00:00 Z", b"Sat, 25 Sep 2004 09:00:00 +0900 JST",
    b"Sat, 25 Sep 2004 09:00:00", b"Mon, 3 Feb 97 08:05:01 GMT", b"Mon, 3 Feb 03 08:05:01 GMT",
    b"Fri, 21 Nov 103 09:55:06 -0600",
    b"Thu,\r\n      13\r\n        Feb\r\n          1969\r\n      23:32\r\n"
    b"               -0330 (Newfoundland Time)",
    b"  Sat ,  25\tSep   2004   09 : 00 : 00   +0900  ", b"Sat,25 Sep 2004 09:00:00 +0900",
    b"Sat 25 Sep 2004 09:00:00 +0900", b"Saturday, 25 September 2004 09:00:00 +0900",
    b"Thurs, 2 Sept 2004 9:05:00 +0900", b"sat, 25 sep 2004 09:00:00 +0900",
    b"25-Sep-2004 09:00:00 +0900", b"Sat Sep 25 09:00:00 2004", b"Sep 25 2004 09:00:00",
    b"2004-09-25 09:00:00", b"31 Dec 2016 23:59:60 +0000", b"29 Feb 2004 00:00:00 +0900",
    b"DATE:NONE", b"yesterday, around noon", b"Sat, 25 Sep 2004",
    b"Sat, 31 Feb 2004 09:00:00 +0900", b"29 Feb 2003 09:00:00 +0900", b"0 Sep 2004 09:00:00",
    b"25 Sep 2004 24:00:00", b"25 Sep 2004 09:60:00", b"25 Sep 2004 9 +0900",
    b"25 Foo 2004 09:00:00", b"25 Sep 20041 09:00:00",
    "２５ Sep ２００４ ０９:００:００".encode(), b"(Sat, 25 Sep 2004 09:00:00 +0900)",
    b"Sat, 25 Sep 2004 (09:00:00 +0900", b"-25 Sep -2004 -9:-5:00",
]


# ---------------------------------------------------------------- header target

def header_seed(replies, mode=0, count=2, pick=0, from_text=b"", subject_text=b""):
    """mode: see header_target.cpp; count: index into kCounts (2 is 3 messages)."""
    assert len(from_text) < 16 and len(subject_text) < 16
    prefix = bytes([mode, count, pick, len(from_text) | (len(subject_text) << 4)])
    return prefix + from_text + subject_text + b"".join(replies)


FROM_ON, SUBJECT_ON, LF_ONLY, TWICE = 0x01, 0x04, 0x10, 0x20
LAST_TEXT, LAST_UTC, LAST_LOCAL = 0x40, 0x80, 0xC0


def header_seeds():
    s = {}
    s["plain"] = header_seed([dot_stuffed(mail())])
    s["dkim_from_check"] = header_seed([dot_stuffed(mail(dkim=True))], FROM_ON,
                                       from_text=b"taro@example.jp")
    s["japanese_from"] = header_seed([dot_stuffed(mail(japanese=True, dkim=True))],
                                     FROM_ON | SUBJECT_ON, from_text=b"TARO@EXAMPLE.JP",
                                     subject_text=b"dial")
    s["subject_full_stop"] = header_seed([dot_stuffed(mail(subject=b"Please dial now."))],
                                         SUBJECT_ON, subject_text=b"now.")
    s["dot_stuffed_body"] = header_seed(
        [dot_stuffed(mail(body=b".Subject: Please dial now"))], SUBJECT_ON, subject_text=b"dial")
    s["bare_lf"] = header_seed([dot_stuffed(mail(eol=b"\n"), eol=b"\n")], FROM_ON,
                               from_text=b"example.jp")
    s["lf_split_keeps_cr"] = header_seed([dot_stuffed(mail())], LF_ONLY | SUBJECT_ON,
                                         subject_text=b"dial now")
    s["raw_utf8_subject"] = header_seed(
        [dot_stuffed(mail(subject="接続して".encode()))], SUBJECT_ON,
        subject_text="接続".encode())
    s["latin1_subject"] = header_seed([dot_stuffed(mail(subject=b"caf\xe9 \x82\xa0"))])
    s["folded_subject"] = header_seed([dot_stuffed(mail(subject=b"Please\r\n dial now"))],
                                      SUBJECT_ON, subject_text=b"please dial now")
    s["folded_date"] = header_seed([dot_stuffed(mail(date=b"Sat, 25 Sep 2004\r\n\t09:00:00 +0900"))])
    s["no_date"] = header_seed([dot_stuffed(mail(date=None))])
    s["no_from_no_subject"] = header_seed([dot_stuffed(mail(sender=None, subject=None))],
                                          FROM_ON, from_text=b"none")
    s["same_as_lastdate"] = header_seed([dot_stuffed(mail())], LAST_TEXT, pick=1)
    s["lastdate_held_as_datetime"] = header_seed([dot_stuffed(mail())], LAST_UTC, pick=104)
    s["lastdate_local_time"] = header_seed([dot_stuffed(mail())], LAST_LOCAL, pick=104)
    s["lastdate_unreadable"] = header_seed([dot_stuffed(mail())], LAST_TEXT, pick=6)
    # A walk of five: a DKIM-signed newer mail above the trigger, then older mail, message 1.
    walk = [dot_stuffed(mail(subject=b"Your order has shipped", dkim=True,
                             date=b"Sun, 26 Sep 2004 10:00:00 +0900",
                             sender=b"Shop <news@shop.example.com>")),
            dot_stuffed(mail(japanese=True, dkim=True)),
            dot_stuffed(mail(subject=b"Minutes", date=b"Fri, 24 Sep 2004 18:00:00 +0900")),
            dot_stuffed(mail(subject=b"Hello", date=None)),
            dot_stuffed(mail(subject=b"First", date=b"1 Apr 2003 00:00:01 +0900"))]
    s["walk_trigger_below_newer"] = header_seed(walk, FROM_ON | SUBJECT_ON | TWICE, count=3,
                                                from_text=b"taro@example.jp",
                                                subject_text=b"dial")
    s["walk_no_match_twice"] = header_seed(walk, SUBJECT_ON | TWICE, count=3,
                                           subject_text=b"hang up")
    s["walk_count_32768"] = header_seed(walk[:2], FROM_ON, count=4, from_text=b"nobody")
    s["walk_count_2_32"] = header_seed(walk[:2], FROM_ON, count=5, from_text=b"nobody")
    for i, date in enumerate(DATES):
        s["date_%02d" % i] = header_seed([b"Date: " + date + b"\r\n.\r\n"])
    return s


# ---------------------------------------------------------------- session target

def session_seed(server, mode=0, pick=0, from_text=b"", subject_text=b"", chunking=0, event=0):
    """mode and the other bytes: see session_target.cpp."""
    assert len(from_text) < 16 and len(subject_text) < 16
    prefix = bytes([mode, pick, len(from_text) | (len(subject_text) << 4), chunking, event])
    return prefix + from_text + subject_text + server


def top(message):
    return b"+OK\r\n" + dot_stuffed(message)


CLOSE_AT_END, UNSAFE_PASSWORD = 0x10, 0x20
GREETING = b"+OK Dovecot ready.\r\n"
LOGIN = GREETING + b"+OK\r\n+OK Logged in.\r\n"


def session_seeds():
    s = {}
    three = (LOGIN + b"+OK 3 1234\r\n" +
             top(mail(subject=b"Your order has shipped", dkim=True,
                      date=b"Sun, 26 Sep 2004 10:00:00 +0900",
                      sender=b"Shop <news@shop.example.com>")) +
             top(mail(japanese=True, dkim=True)) +
             top(mail(subject=b"First", date=b"1 Apr 2003 00:00:01 +0900")) +
             b"+OK Logging out.\r\n")
    s["dovecot_three_one_chunk"] = session_seed(three, FROM_ON, from_text=b"taro@example.jp")
    s["dovecot_three_small_chunks"] = session_seed(three, SUBJECT_ON, subject_text=b"dial",
                                                   chunking=7)
    s["dovecot_three_byte_chunks"] = session_seed(three, chunking=1)
    s["empty_mailbox"] = session_seed(LOGIN + b"+OK 0 0\r\n+OK Logging out.\r\n")
    s["stat_without_size"] = session_seed(LOGIN + b"+OK 1\r\n" + top(mail()) + b"+OK Bye\r\n",
                                          chunking=3)
    s["stat_huge"] = session_seed(LOGIN + b"+OK 4294967296 99\r\n" + top(mail()) +
                                  b"+OK Bye\r\n")
    s["stat_negative"] = session_seed(LOGIN + b"+OK -1 0\r\n")
    s["err_in_retr"] = session_seed(LOGIN + b"+OK 2 100\r\n-ERR Message is deleted.\r\n"
                                    b"+OK Bye\r\n")
    s["err_at_pass"] = session_seed(GREETING + b"+OK\r\n-ERR [AUTH] Authentication failed.\r\n"
                                    b"+OK Logging out\r\n")
    s["bare_ok_greeting"] = session_seed(b"+OK\r\n+OK\r\n+OK\r\n+OK 1 10\r\n" + top(mail()) +
                                         b"+OK\r\n", chunking=2)
    s["trigger_not_new"] = session_seed(LOGIN + b"+OK 2 20\r\n" + top(mail()) + top(mail()),
                                        LAST_TEXT, pick=1)
    s["server_closes_mid_reply"] = session_seed(
        LOGIN + b"+OK 2 20\r\n+OK\r\nFrom: a@example.jp\r\nSubj", CLOSE_AT_END, chunking=5)
    s["socket_error_midway"] = session_seed(three, chunking=9, event=0x01 | (4 << 2))
    s["server_close_midway"] = session_seed(three, chunking=9, event=0x02 | (6 << 2))
    s["unsafe_password"] = session_seed(LOGIN + b"+OK 0 0\r\n", UNSAFE_PASSWORD)
    s["restart_midway"] = session_seed(three, chunking=9, event=0x03 | (3 << 2))
    return s


# ---------------------------------------------------------------- imap target

def imap_seed(server, mode=0, chunking=0):
    """mode: bit 0 close at end, bit 1 LASTUID 1/5, bit 2 push, bit 3 literal password."""
    return bytes([mode, chunking]) + server


def imap_seeds():
    def fetch(seq, uid, subject):
        header = (b"From: Owner <owner@example.jp>\r\nSubject: " + subject +
                  b"\r\nDate: Sat, 25 Sep 2004 09:00:00 +0900\r\n\r\n")
        return b"* %d FETCH (UID %d BODY[HEADER] {%d}\r\n%s)\r\n" % (seq, uid, len(header), header)

    hello = (b"* OK [CAPABILITY IMAP4rev1 IDLE] Dovecot ready.\r\nA1 OK\r\nA2 OK Logged in\r\n"
             b"* CAPABILITY IMAP4rev1 IDLE\r\nA3 OK\r\n* 3 EXISTS\r\n* OK [UIDVALIDITY 1] x\r\n"
             b"* OK [UIDNEXT 8] x\r\nA4 OK [READ-ONLY] Examined\r\n")
    walk = fetch(2, 6, b"=?ISO-2022-JP?B?GyRCOzNFREJATzobKEI=?=") + fetch(3, 7, b"dial") + b"A5 OK\r\n"
    idle = b"+ idling\r\n* 4 EXISTS\r\n* 1 EXPUNGE\r\n* BYE Server shutting down.\r\n"
    return {"dovecot_walk_idle": imap_seed(hello + walk + idle, mode=4 | 2 | 1, chunking=7),
            "huge_literal": imap_seed(hello + b"* 3 FETCH (UID 7 BODY[HEADER] {99999999999}\r\n")}


def write(target, seeds):
    folder = os.path.join(HERE, "corpus", target)
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    for name, data in seeds.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)


write("header", header_seeds())
write("session", session_seeds())
write("imap", imap_seeds())
