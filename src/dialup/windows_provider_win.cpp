#include "windows_provider_win.h"

#include "log_categories.h"
#include "windows_provider_win32.h"

#include <string>

namespace ringlark {

QStringList WindowsDialUpProvider::listEntries()
{
    QStringList names;
    for (const std::wstring &name : win32::enumEntryNames())
        names.append(QString::fromStdWString(name));
    qCDebug(lcDialup) << "entries:" << names;
    return names;
}

qint32 WindowsDialUpProvider::dial(quintptr parentWindow, const QString &entry, Handle &handle)
{
    std::uintptr_t connection = 0;
    const auto result =
        static_cast<qint32>(win32::dial(parentWindow, entry.toStdWString(), connection));
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
