#pragma once

#include <QStringList>

#include <optional>

class QTextStream;

namespace ringlark {

// What the command line asks for. It is read before any application object exists, because
// --headless decides which one to build and --help and --version must work with no display.
struct CommandLine
{
    bool headless = false;
    // Set when the program should end at once with this status, having written its answer
    // (--help, --version) or complaint (an unknown option) to out or err.
    std::optional<int> exitStatus;
};

// Exit statuses the program's callers rely on.
inline constexpr int kExitUsage = 1;
inline constexpr int kExitNoDisplay = 2;
inline constexpr int kExitAlreadyRunning = 3;
inline constexpr int kExitNothingToDo = 4;

// arguments as main() received them, the program's path first.
CommandLine readCommandLine(const QStringList &arguments, QTextStream &out, QTextStream &err);

// The arguments of main() as text, decoded the way QCoreApplication decodes them.
QStringList argumentsOf(int argc, char **argv);

} // namespace ringlark
