#pragma once

#include "fakes.h"
#include "pop3_session.h"
#include "qt_tcp_socket.h"
#include "sample_mails.h"
#include "session_report.h"
#include "session_settings.h"
#include "session_values.h"
#include "settings_table.h"

#include <QSslCertificate>

#include <algorithm>
#include <memory>

namespace ringlark::test {

// The password every hostile test uses, so that each can check it never shows.
inline const QString kLivePassword = QStringLiteral("Tr1cky-P4ss");

// The real session on the real socket, with a short watchdog and deadline, settings that
// find the trigger mail below, and the peak sizes of the session's own buffers sampled after
// every arrival.
struct LiveSession
{
    static constexpr int kWatchdogMs = 2000;
    static constexpr int kDeadlineMs = 6000;

    explicit LiveSession(const QString &server, QList<QSslCertificate> trusted = {})
        : session(
              values, [this] { return sessionSettings(settings); },
              std::make_unique<QtTcpSocket>(std::move(trusted)), box, kWatchdogMs)
    {
        settings.Pop3Server = server;
        settings.UserName = QStringLiteral("ringlark");
        settings.Password = kLivePassword;
        settings.FromAddress = QStringLiteral("owner@example.jp");
        settings.FromCheck = QStringLiteral("1");
        settings.Subject = QStringLiteral("Please dial now");
        settings.SubjectCheck = QStringLiteral("1");
        settings.LastDate = QStringLiteral("2003/04/01 00:00:00");
        session.setSessionDeadline(kDeadlineMs);
        // Connected after the session's own slot, so it sees the state the arrival left.
        QObject::connect(&session.socket(), &TcpSocket::readyRead, &session, [this] {
            peakReader = std::max(peakReader, session.replyReader().heldBytes());
            peakText4 = std::max(peakText4, report.traffic().text().size());
            peakText6 = std::max(peakText6, report.results().size());
        });
    }

    // What the check cycle does for a tick.
    void start()
    {
        values.SessionStep = SessionStep::None;
        values.TriggerFlag = TriggerFlag::None;
        session.Command1_Click();
    }
    bool ended() const { return values.SessionStep == SessionStep::Quit && !session.isRunning(); }

    SessionValues values;
    SettingsTable settings;
    FakeMessageBox box;
    Pop3Session session;
    SessionReport report{session};
    qsizetype peakReader = 0;
    qsizetype peakText4 = 0;
    qsizetype peakText6 = 0;
};

// A mailbox that a well-behaved server serves after an attack: the trigger mail (message 1)
// below a newer, ordinary mail.
inline QList<QByteArray> mailboxWithTrigger()
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
