#pragma once

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
class Timer;
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
    // Makes the check timer Timer1. Empty: a real QTimer; tests step a fake one.
    std::function<std::unique_ptr<Timer>()> makeTimer = {};
    // Makes the sender of replies. Empty: SMTP through libcurl.
    std::function<std::unique_ptr<MailSender>()> makeMailSender = {};
    // The POP3 watchdog's interval; tests shorten it.
    int watchdogMs = 20000;
};

} // namespace ringlark
