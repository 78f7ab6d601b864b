#pragma once

#include "fakes.h"
#include "pop3_session.h"
#include "qt_tcp_socket.h"
#include "session_report.h"
#include "session_settings.h"
#include "session_values.h"
#include "settings_table.h"

#include <QSslCertificate>

#include <memory>

namespace ringlark::test {

// The password of every live session, distinctive enough that a test can check it never
// shows anywhere.
inline const QString kLivePassword = QStringLiteral("Tr1cky-P4ss");

// The real session on the real socket against a peer on this machine, logging in as
// "ringlark" with kLivePassword, with rules that find the trigger mail of the sample
// mailboxes (from owner@example.jp, a subject holding "please dial", newer than LastDate),
// and the report the POP3 window shows. `trusted` certificates are trusted beside the
// system's roots.
struct LiveSession
{
    explicit LiveSession(const QString &server, int watchdogMs = Pop3Session::kWatchdogMs,
                         QList<QSslCertificate> trusted = {})
        : session(
              values, [this] { return sessionSettings(settings); },
              std::make_unique<QtTcpSocket>(std::move(trusted)), box, watchdogMs)
    {
        settings.Pop3Server = server;
        settings.UserName = QStringLiteral("ringlark");
        settings.Password = kLivePassword;
        settings.FromAddress = QStringLiteral("owner@example.jp");
        settings.FromCheck = QStringLiteral("1");
        settings.Subject = QStringLiteral("please dial");
        settings.SubjectCheck = QStringLiteral("1");
        settings.LastDate = QStringLiteral("2003/04/01 00:00:00");
    }

    // What a tick of the check cycle does, with the trigger flag the last tick left.
    void start(TriggerFlag flag = TriggerFlag::None)
    {
        values.SessionStep = SessionStep::None;
        values.TriggerFlag = flag;
        session.Command1_Click();
    }
    bool ended() const { return values.SessionStep == SessionStep::Quit && !session.isRunning(); }

    SessionValues values;
    SettingsTable settings;
    FakeMessageBox box;
    Pop3Session session;
    SessionReport report{session};
};

} // namespace ringlark::test
