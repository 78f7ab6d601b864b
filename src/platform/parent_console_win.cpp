#include "parent_console.h"

#include <QByteArray>
#include <QString>

#include <cstdio>
#include <cstdlib>

#include <io.h>
#include <windows.h>

namespace ringlark {

namespace {

UINT savedConsoleCodePage = 0;

HANDLE handleOf(std::FILE *stream)
{
    const intptr_t handle = _get_osfhandle(_fileno(stream));
    return handle == -1 || handle == -2 ? INVALID_HANDLE_VALUE : reinterpret_cast<HANDLE>(handle);
}

bool isConsole(HANDLE handle)
{
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode);
}

void restoreConsoleCodePage()
{
    SetConsoleOutputCP(savedConsoleCodePage);
}

// Qt's own handler writes in the ANSI code page, where Japanese turns into "?", and only when
// a console window is there: under a service wrapper, whose pipe has none, the log would go to
// the debugger instead.
void writeUtf8Line(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    const QByteArray line = qFormatLogMessage(type, context, message).toUtf8() + '\n';
    std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), stderr);
    std::fflush(stderr);
}

} // namespace

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

void writeUtf8Output()
{
    // The console shows the bytes in its output code page; the starting console gets its own
    // back when the program ends.
    if (isConsole(handleOf(stdout)) || isConsole(handleOf(stderr))) {
        const UINT current = GetConsoleOutputCP();
        if (current != CP_UTF8 && SetConsoleOutputCP(CP_UTF8)) {
            savedConsoleCodePage = current;
            std::atexit(restoreConsoleCodePage);
        }
    }
    if (handleOf(stderr) != INVALID_HANDLE_VALUE)
        qInstallMessageHandler(writeUtf8Line);
}

} // namespace ringlark
