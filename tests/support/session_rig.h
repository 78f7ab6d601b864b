#pragma once

#include "date_text.h"
#include "fake_socket.h"
#include "fake_timer.h"
#include "fakes.h"
#include "pop3_account.h"
#include "pop3_session.h"
#include "sample_mails.h"
#include "session_report.h"
#include "session_values.h"

#include <QList>

#include <algorithm>

namespace ringlark::test {

// What a session reads of the settings, written directly: mails from `from` whose subject
// holds `subject`, newer than the default LastDate, are the trigger.
inline SessionSettings sessionSettingsFor(const QString &server, const QString &user,
                                          const QString &password, const QString &from,
                                          const QString &subject)
{
    SessionSettings s;
    s.account = {server, user, password};
    s.rules.fromCheck = true;
    s.rules.fromText = from;
    s.rules.subjectCheck = true;
    s.rules.subjectText = subject;
    s.rules.lastDateText = QStringLiteral("2003/04/01 00:00:00");
    s.rules.lastDate = readDateText(s.rules.lastDateText);
    return s;
}

// LastDate as stored, and as the session reads it.
inline void setLastDate(SessionSettings &s, const QString &text)
{
    s.rules.lastDateText = text;
    s.rules.lastDate = readDateText(text);
}

// A session on a fake socket, with settings that match no mail, so that the walk goes all
// the way down unless a test says otherwise.
struct SessionRig
{
    using Lines = QList<QByteArray>;

    SessionRig()
        : session(
              values, [this] { return settings; }, socket, box, fakeTimers())
    {
    }

    FakeTimer &watchdog() { return fake(session.watchdog()); }
    FakeTimer &deadline() { return fake(session.deadlineTimer()); }

    // What the check cycle does before a session: clear the step, press Command1.
    void start()
    {
        values.SessionStep = SessionStep::None;
        session.Command1_Click();
    }

    // How far the client ran ahead of the server in converse().
    struct Served
    {
        qsizetype mostAhead = 0;        // commands written and not yet answered, at most
        qsizetype mostTopBytes = 0;     // bytes of TOP requests not yet answered, at most
        bool quitBeforeReplies = false; // QUIT went out while earlier replies were still due
    };

    // Plays a server that answers each command the client writes with the next reply, each
    // cut into chunks of `chunk` bytes (0: whole), until the replies are spent. replies[0] is
    // the greeting. CAPA gets `capa` instead, so that the replies script only what a server
    // from before CAPA would say, and QUIT gets its answer whole (its first byte closes the
    // connection anyway). Commands written ahead (pipelined) are answered one by one, in
    // order; with `batch`, all that are outstanding in one chunk.
    Served converse(const QList<QByteArray> &replies, int chunk = 0, bool batch = false)
    {
        Served s;
        qsizetype next = 0;
        qsizetype answered = 0;
        deliverChunked(replies.value(next++), chunk);
        for (Lines lines = socket.writtenLines(); answered < lines.size() && !socket.closed;
             lines = socket.writtenLines()) {
            s.mostAhead = std::max(s.mostAhead, lines.size() - answered);
            qsizetype topBytes = 0;
            for (qsizetype i = answered; i < lines.size(); ++i) {
                if (lines.at(i).startsWith("TOP "))
                    topBytes += lines.at(i).size() + 2;
                s.quitBeforeReplies |= lines.at(i) == "QUIT" && i > answered;
            }
            s.mostTopBytes = std::max(s.mostTopBytes, topBytes);
            QByteArray out;
            for (const qsizetype end = batch ? lines.size() : answered + 1; answered < end;) {
                const QByteArray &command = lines.at(answered++);
                out += command == "CAPA"   ? capa
                       : command == "QUIT" ? QByteArray("+OK Logging out.\r\n")
                                           : replies.value(next++);
            }
            if (out.isEmpty())
                break;
            deliverChunked(out, lines.at(answered - 1) == "QUIT" ? 0 : chunk);
        }
        return s;
    }

    void deliverChunked(const QByteArray &bytes, int chunk)
    {
        if (chunk <= 0) {
            socket.deliver(bytes);
            return;
        }
        for (qsizetype i = 0; i < bytes.size(); i += chunk)
            socket.deliver(bytes.mid(i, chunk));
    }

    // What the scripted server answers to CAPA: by default it predates CAPA, and so gets the
    // exchange of one command at a time.
    QByteArray capa = "-ERR Unknown command: CAPA\r\n";
    SessionValues values;
    SessionSettings settings = sessionSettingsFor(
        QStringLiteral("pop.example.jp"), QStringLiteral("taro"), QStringLiteral("s3cret pw"),
        QStringLiteral("nobody@nowhere.invalid"), QStringLiteral("no such subject"));
    FakeSocket socket;
    FakeMessageBox box;
    Pop3Session session;
    SessionReport report{session};
};

// What the client writes in a session over `count` mails that ends with the walk: CAPA,
// the login, STAT, TOP from the newest down, QUIT.
inline QList<QByteArray> walkCommands(int count)
{
    QList<QByteArray> out{"CAPA", "USER taro", "PASS s3cret pw", "STAT"};
    for (int n = count; n >= 1; --n)
        out.append("TOP " + QByteArray::number(n) + " 1");
    out.append("QUIT");
    return out;
}

// The opening of a session as FakeSocket::play writes it, with a server from before CAPA (one
// command at a time): the greeting, CAPA refused, the login, STAT answered with `stat`.
inline QList<QByteArray> opening(const QByteArray &stat = "+OK 0 0")
{
    return {"S: +OK ready",      "C: CAPA", "S: -ERR Unknown command: CAPA",
            "C: USER taro",      "S: +OK",  "C: PASS s3cret pw",
            "S: +OK Logged in.", "C: STAT", "S: " + stat};
}

// The dialogue for FakeSocket::play of a walk over the replies of walkReplies(): each answers
// the next command of walkCommands(), and CAPA gets `capa`.
inline QList<QByteArray> walkDialogue(const QList<QByteArray> &replies,
                                      const QByteArray &capa = "-ERR Unknown command: CAPA")
{
    const QList<QByteArray> commands = walkCommands(static_cast<int>(replies.size()) - 5);
    QList<QByteArray> d{"S: " + replies.at(0).chopped(2), "C: CAPA", "S: " + capa};
    for (qsizetype i = 1; i < replies.size(); ++i)
        d << "C: " + commands.at(i) << "S: " + replies.at(i).chopped(2);
    return d;
}

// A mailbox of `count` realistic mails, as the replies of a whole session but for CAPA's:
// greeting, USER, PASS, STAT, TOP count .. TOP 1, QUIT.
inline QList<QByteArray> walkReplies(int count)
{
    QList<QByteArray> r{"+OK Dovecot (Debian) ready.\r\n", "+OK\r\n", "+OK Logged in.\r\n",
                        "+OK " + QByteArray::number(count) + " 12345\r\n"};
    for (int n = count; n >= 1; --n) {
        MailSpec mailSpec;
        mailSpec.subject = "mail number " + QByteArray::number(n) + ".";
        mailSpec.date = "Sat, " + QByteArray::number(n) + " Sep 2004 09:00:00 +0900";
        r.append("+OK\r\n" + topReplyBody(realisticMail(mailSpec)));
    }
    r.append("+OK Logging out.\r\n");
    return r;
}

} // namespace ringlark::test
