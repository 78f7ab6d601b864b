#pragma once

#include "fake_socket.h"
#include "fake_timer.h"
#include "fakes.h"
#include "pop3_session.h"
#include "sample_mails.h"
#include "session_report.h"
#include "session_settings.h"
#include "session_values.h"
#include "settings_table.h"

#include <QList>

namespace ringlark::test {

// A session on a fake socket, with settings that match no mail, so that the walk goes all
// the way down unless a test says otherwise.
struct SessionRig
{
    using Lines = QList<QByteArray>;

    SessionRig()
        : session(
              values, [this] { return sessionSettings(settings); }, socket, box, fakeTimers())
    {
        settings.Pop3Server = QStringLiteral("pop.example.jp");
        settings.UserName = QStringLiteral("taro");
        settings.Password = QStringLiteral("s3cret pw");
        settings.FromAddress = QStringLiteral("nobody@nowhere.invalid");
        settings.FromCheck = QStringLiteral("1");
        settings.Subject = QStringLiteral("no such subject");
        settings.SubjectCheck = QStringLiteral("1");
        settings.LastDate = QStringLiteral("2003/04/01 00:00:00");
    }

    FakeTimer &watchdog() { return fake(session.watchdog()); }
    FakeTimer &deadline() { return fake(session.deadlineTimer()); }

    // What the check cycle does before a session: clear the step, press Command1.
    void start()
    {
        values.SessionStep = SessionStep::None;
        session.Command1_Click();
    }

    // Plays a server that answers each command the client writes with the next reply, each
    // cut into chunks of `chunk` bytes (0: whole). replies[0] is the greeting. CAPA gets
    // `capa` instead, so that the replies script only what a server from before CAPA would
    // say. Commands written ahead (pipelined) are answered one by one, in order.
    void converse(const QList<QByteArray> &replies, int chunk = 0)
    {
        qsizetype next = 0;
        qsizetype answered = 0;
        deliverChunked(replies.value(next++), chunk);
        for (Lines lines = socket.writtenLines(); answered < lines.size() && !socket.closed;
             lines = socket.writtenLines()) {
            if (lines.at(answered++) == "CAPA")
                deliverChunked(capa, chunk);
            else if (next < replies.size())
                deliverChunked(replies.at(next++), chunk);
            else
                break;
        }
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
    SettingsTable settings;
    FakeSocket socket;
    FakeMessageBox box;
    Pop3Session session;
    SessionReport report{session};
};

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
