#pragma once

#include "app_services.h"
#include "app_state.h"
#include "event_log.h"
#include "once_per_change.h"
#include "session_values.h"

#include <QObject>

#include <functional>
#include <memory>

namespace ringlark {

class AutoHangUp;
class CheckCycle;
class MailSender;
class TriggerReplies;
class DialCommands;
class ImapSession;
class MailSession;
class SessionSwitch;
class Pop3Session;
class SessionReport;
class Timer;
class WinInet;

// The program without its windows: the services wired to the check cycle, the POP3 session
// and its report, the dial-up object and its commands, and the event log. Windows are views
// of it; it runs as well with none (then message boxes come from a service that needs no
// widget).
class AppCore : public QObject
{
    Q_OBJECT
public:
    AppCore(const AppServices &services, AppState &state, QObject *parent = nullptr);
    ~AppCore() override;

    // Start-up: asks for the dial-up entries (the list fills, with the stored entry
    // selected, when they come), loads the settings, writes the first log line and, with
    // AUTOSTART, starts monitoring. Runs once, after the windows (if any) are connected, so
    // that they see every step. startMonitoring starts it whatever AUTOSTART says: with no
    // window, nothing else could; and then no server, like an interval it cannot work with,
    // leaves it off with a log line.
    void Form_Load(bool startMonitoring = false);
    // Shutdown: the program ends at once. A check waiting for its session is abandoned: no
    // dial, no LASTDATE, no log line.
    void Form_Unload();

    // The window a dial is made for; without one, 0.
    void setWindowHandle(std::function<quintptr()> handle);

    const AppServices &services() const { return m_services; }
    AppState &state() { return m_state; }
    EventLog &eventLog() { return m_log; }
    CheckCycle &checkCycle() { return *m_cycle; }
    Timer &timer1() { return *m_timer1; }
    Pop3Session &pop3Session() { return *m_pop3; }
    ImapSession &imapSession() { return *m_imap; }
    // The session a check starts: POP3 or IMAP, by the server setting.
    SessionSwitch &mailSession() { return *m_session; }
    SessionReport &pop3Report() { return *m_pop3Report; }
    DialCommands &dialCommands() { return *m_dial; }
    WinInet &fInet() { return *m_fInet; }
    TriggerReplies &replies() { return *m_replies; }
    AutoHangUp &autoHangUp() { return *m_autoHangUp; }

private:
    void wireReplies();

    const AppServices m_services;
    AppState &m_state;
    EventLog m_log;
    // The session's boxes (socket and TLS errors): once per change of failure.
    OncePerChangeBox m_sessionBox;
    std::function<quintptr()> m_windowHandle;
    std::unique_ptr<Timer> m_timer1;
    CheckCycle *m_cycle = nullptr;
    Pop3Session *m_pop3 = nullptr;
    ImapSession *m_imap = nullptr;
    SessionSwitch *m_session = nullptr;
    SessionReport *m_pop3Report = nullptr;
    WinInet *m_fInet = nullptr;
    DialCommands *m_dial = nullptr;
    std::unique_ptr<MailSender> m_sender;
    TriggerReplies *m_replies = nullptr;
    AutoHangUp *m_autoHangUp = nullptr;
    // The mail whose dial made the connection up now, for the reply when it is hung up by
    // itself.
    TriggerMail m_connectionRequest;
    bool m_unloaded = false;
    bool m_monitoring = false;
};

} // namespace ringlark
