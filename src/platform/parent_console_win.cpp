#include "parent_console.h"

#include <cstdio>

#include <windows.h>

namespace ringlark {

void attachParentConsole()
{
    // Redirected output (a file, a pipe, a service manager's log) is kept as it is.
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    const bool outMissing = out == nullptr || out == INVALID_HANDLE_VALUE;
    const bool errMissing = err == nullptr || err == INVALID_HANDLE_VALUE;
    if (!(outMissing && errMissing) || !AttachConsole(ATTACH_PARENT_PROCESS))
        return;
    if (outMissing)
        std::freopen("CONOUT$", "w", stdout);
    if (errMissing)
        std::freopen("CONOUT$", "w", stderr);
}

} // namespace ringlark
