#pragma once

#include "timer.h"

#include <functional>
#include <memory>

namespace ringlark {

class SettingsStore;
class MessageBox;
class Clock;
class DialUpProvider;
class TcpSocket;
class Registry;
class ProgramLauncher;
class MailSender;

// Every outside service the program uses, passed in by main.cpp (real ones) or by a test
// (fakes). Nothing reaches for a global.
struct AppServices
{
    SettingsStore &settingsStore;
    MessageBox &messageBox;
    Clock &clock;
    DialUpProvider &dialUp;
    Registry &registry;
    ProgramLauncher &launcher;
    // Ends the program at once. Empty: leave the application's event loop.
    std::function<void()> endProgram = {};
    // Makes the POP3 connection's socket. Empty: the real TCP/TLS socket.
    std::function<std::unique_ptr<TcpSocket>()> makeSocket = {};
    // Makes every timer: the check timer Timer1, the sessions' watchdogs and deadlines.
    // Empty: real ones; tests step fakes.
    TimerFactory makeTimer = {};
    // Makes the sender of replies. Empty: SMTP through libcurl.
    std::function<std::unique_ptr<MailSender>()> makeMailSender = {};
};

} // namespace ringlark
