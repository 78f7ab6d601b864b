#pragma once

#include <QtGlobal>

namespace ringlark {

// On Windows the program is a windowed one, so a console that starts it gets none of its
// output: --help, --version and the log of --headless would vanish. This joins the console
// of the starting process, when there is one and the output is not redirected already.
//
// writeUtf8Output() then makes everything the program writes there UTF-8, as on Linux: the
// console is switched to UTF-8 while the program runs, and the log lines are written as UTF-8
// to any stderr there is (a console, a file, a service wrapper's pipe).
#ifdef Q_OS_WIN
void attachParentConsole();
void writeUtf8Output();
#else
inline void attachParentConsole() {}
inline void writeUtf8Output() {}
#endif

} // namespace ringlark
