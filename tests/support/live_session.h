#pragma once

#include "fake_timer.h"
#include "fakes.h"
#include "pop3_session.h"
#include "qt_tcp_socket.h"
#include "session_report.h"
#include "session_rig.h"
#include "session_values.h"

#include <QSslCertificate>
#include <QTest>

#include <functional>
#include <memory>

namespace ringlark::test {

// The password of every live session, distinctive enough that a test can check it never
// shows anywhere.
inline const QString kLivePassword = QStringLiteral("Tr1cky-P4ss");

// Some faults are Wine's, not Windows': scripts/lib/wine-run sets RINGLARK_WINE, and a test
// that meets one skips with the reason, which scripts/windows lists.
inline bool underWine()
{
    return qEnvironmentVariableIsSet("RINGLARK_WINE");
}
// Wine's schannel (GnuTLS underneath) takes the first five bytes of anything as a TLS record
// header and waits for the kilobytes "+OK P" claims, where Windows refuses such a peer at once.
inline constexpr const char *kWineWaitsForPlainRecord =
    "Wine's schannel waits for the TLS record a plain greeting's first bytes claim";

// The real session on the real socket against a peer on this machine, logging in as
// "ringlark" with kLivePassword, with rules that find the trigger mail of the sample
// mailboxes (from owner@example.jp, a subject holding "please dial", newer than LastDate),
// and the report the POP3 window shows. `trusted` certificates are trusted beside the
// system's roots. Its timers are fakes: the peer is real, time is the test's.
struct LiveSession
{
    explicit LiveSession(const QString &server, QList<QSslCertificate> trusted = {})
        : settings(sessionSettingsFor(server, QStringLiteral("ringlark"), kLivePassword,
                                      QStringLiteral("owner@example.jp"),
                                      QStringLiteral("please dial"))),
          session(
              values, [this] { return settings; },
              std::make_unique<QtTcpSocket>(std::move(trusted)), box, fakeTimers())
    {
    }

    // What a tick of the check cycle does, with the trigger flag the last tick left.
    void start(TriggerFlag flag = TriggerFlag::None)
    {
        values.SessionStep = SessionStep::None;
        values.TriggerFlag = flag;
        session.Command1_Click();
    }
    bool ended() const { return values.SessionStep == SessionStep::Quit && !session.isRunning(); }
    FakeTimer &watchdog() { return fake(session.watchdog()); }
    FakeTimer &deadline() { return fake(session.deadlineTimer()); }

    // Waits for the peer to end the session or to have had its say (by default: a box came);
    // a session that an error left to its watchdog is then ended by it, as the watchdog
    // would. Whether it ended.
    bool waitForEnd(const std::function<bool()> &peerDone = {}, int ms = 20000)
    {
        const auto done = [&] { return peerDone ? peerDone() : !box.shown.isEmpty(); };
        if (!QTest::qWaitFor([&] { return ended() || done(); }, ms))
            return false;
        watchdog().fire();
        return ended();
    }

    SessionValues values;
    SessionSettings settings;
    FakeMessageBox box;
    Pop3Session session;
    SessionReport report{session};
};

} // namespace ringlark::test
