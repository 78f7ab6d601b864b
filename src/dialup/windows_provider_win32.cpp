#include "windows_provider_win32.h"

#include "ras_entries.h"

#include <windows.h>

#include <ras.h>
#include <wininet.h>

#include <string>

namespace ringlark::win32 {

namespace {
// The forced unattended dial: no prompt for the user, who may be far away.
constexpr DWORD kForceUnattended = 2;

std::wstring fromAnsi(const std::string &bytes)
{
    if (bytes.empty())
        return {};
    const int size = static_cast<int>(bytes.size());
    const int wide = MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, nullptr, 0);
    if (wide <= 0)
        return {};
    std::wstring out(static_cast<std::size_t>(wide), L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, out.data(), wide);
    return out;
}

std::string toAnsi(const std::wstring &wide)
{
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

std::vector<std::wstring> enumEntryNames()
{
    std::vector<unsigned char> buffer = ras::makeEntryBuffer();
    DWORD bytes = static_cast<DWORD>(buffer.size());
    DWORD count = 0;
    // The result is not examined: with more entries than the buffer holds the call fails but
    // still reports a count, and the parser never lists records that were not filled.
    RasEnumEntriesA(nullptr, nullptr, reinterpret_cast<LPRASENTRYNAMEA>(buffer.data()), &bytes,
                    &count);
    std::vector<std::wstring> names;
    for (const std::string &name : ras::parseEntryNames(buffer.data(), buffer.size(), count))
        names.push_back(fromAnsi(name));
    return names;
}

std::uint32_t dial(std::uintptr_t parentWindow, const std::wstring &name,
                   std::uintptr_t &connection)
{
    // InternetDialA takes a writable name.
    const std::string ansiName = toAnsi(name);
    std::vector<char> writable(ansiName.begin(), ansiName.end());
    writable.push_back('\0');
    DWORD_PTR handle = 0;
    const DWORD result = InternetDialA(reinterpret_cast<HWND>(parentWindow), writable.data(),
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
