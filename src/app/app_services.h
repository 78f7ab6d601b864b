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

// Every outside service the program uses, passed in by main.cpp (real ones) or by a test
// (fakes). Nothing reaches for a global.
struct AppServices
{
    SettingsStore &settingsStore;
    MessageBox &messageBox;
    Clock &clock;
    Registry &registry;
    ProgramLauncher &launcher;
    // Ends the program at once. Empty: leave the application's event loop.
    std::function<void()> endProgram = {};
};

} // namespace ringlark
