#include "windows_provider_win32.h"

#include "ras_entries.h"

#include <windows.h>

#include <ras.h>
#include <wininet.h>

namespace ringlark::win32 {

namespace {
// The forced unattended dial: no prompt for the user, who may be far away.
constexpr DWORD kForceUnattended = 2;
} // namespace

std::vector<std::string> enumEntryNames()
{
    std::vector<unsigned char> buffer = ras::makeEntryBuffer();
    DWORD bytes = static_cast<DWORD>(buffer.size());
    DWORD count = 0;
    // The result is not examined: with more entries than the buffer holds the call fails but
    // still reports a count, and the parser never lists records that were not filled.
    RasEnumEntriesA(nullptr, nullptr, reinterpret_cast<LPRASENTRYNAMEA>(buffer.data()), &bytes,
                    &count);
    return ras::parseEntryNames(buffer.data(), buffer.size(), count);
}

std::uint32_t dial(std::uintptr_t parentWindow, const std::string &ansiName,
                   std::uintptr_t &connection)
{
    // InternetDialA takes a writable name.
    std::vector<char> name(ansiName.begin(), ansiName.end());
    name.push_back('\0');
    DWORD_PTR handle = 0;
    const DWORD result = InternetDialA(reinterpret_cast<HWND>(parentWindow), name.data(),
                                       kForceUnattended, &handle, 0);
    connection = result == 0 ? static_cast<std::uintptr_t>(handle) : 0;
    return result;
}

std::uint32_t hangUp(std::uintptr_t connection)
{
    return InternetHangUp(static_cast<DWORD_PTR>(connection), 0);
}

bool remoteConnectionFlag()
{
    HKEY key = nullptr;
    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Services\\RemoteAccess",
                    &key) != ERROR_SUCCESS)
        return false;
    unsigned char value[4] = {0, 0, 0, 0};
    DWORD type = 0;
    DWORD size = sizeof value;
    bool connected = false;
    // A value longer than 4 bytes fails with ERROR_MORE_DATA and counts as not connected.
    if (RegQueryValueExA(key, "Remote Connection", nullptr, &type, value, &size) == ERROR_SUCCESS)
        connected = (value[0] | value[1] | value[2] | value[3]) != 0;
    RegCloseKey(key);
    return connected;
}

} // namespace ringlark::win32
