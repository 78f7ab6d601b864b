#include "windows_provider_win.h"

#include "log_categories.h"
#include "windows_provider_win32.h"

#include <windows.h>

#include <string>
#include <vector>

namespace ringlark {

namespace {

QString fromAnsi(const std::string &bytes)
{
    if (bytes.empty())
        return {};
    const int size = static_cast<int>(bytes.size());
    const int wide = MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, nullptr, 0);
    if (wide <= 0)
        return {};
    std::wstring out(static_cast<std::size_t>(wide), L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, out.data(), wide);
    return QString::fromStdWString(out);
}

std::string toAnsi(const QString &text)
{
    const std::wstring wide = text.toStdWString();
    if (wide.empty())
        return {};
    const int size = static_cast<int>(wide.size());
    const int bytes =
        WideCharToMultiByte(CP_ACP, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return {};
    std::string out(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), size, out.data(), bytes, nullptr, nullptr);
    return out;
}

} // namespace

QStringList WindowsDialUpProvider::listEntries()
{
    QStringList names;
    for (const std::string &name : win32::enumEntryNames())
        names.append(fromAnsi(name));
    qCDebug(lcDialup) << "entries:" << names;
    return names;
}

qint32 WindowsDialUpProvider::dial(quintptr parentWindow, const QString &entry, Handle &handle)
{
    std::uintptr_t connection = 0;
    const auto result = static_cast<qint32>(win32::dial(parentWindow, toAnsi(entry), connection));
    handle = result == 0 ? static_cast<Handle>(connection) : 0;
    qCDebug(lcDialup) << "InternetDial" << entry << "->" << result;
    return result;
}

qint32 WindowsDialUpProvider::hangUp(Handle handle)
{
    const auto result = static_cast<qint32>(win32::hangUp(static_cast<std::uintptr_t>(handle)));
    qCDebug(lcDialup) << "InternetHangUp ->" << result;
    return result;
}

bool WindowsDialUpProvider::remoteConnected()
{
    return win32::remoteConnectionFlag();
}

} // namespace ringlark
