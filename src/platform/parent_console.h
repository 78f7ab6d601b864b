#pragma once

#include <QtGlobal>

namespace ringlark {

// On Windows the program is a windowed one, so a console that starts it gets none of its
// output: --help, --version and the log of --headless would vanish. This joins the console
// of the starting process, when there is one and the output is not redirected already.
#ifdef Q_OS_WIN
void attachParentConsole();
#else
inline void attachParentConsole() {}
#endif

} // namespace ringlark
