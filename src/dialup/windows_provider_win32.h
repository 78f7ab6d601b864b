#pragma once

// The Windows dial-up calls, Qt-free. The ANSI functions take and give names in the system's
// code page; these wrappers convert them from and to UTF-16, which the Qt adapter takes as it
// is.

#include <cstdint>
#include <string>
#include <vector>

namespace ringlark::win32 {

// Entry names of the default phone book, in the platform's order; at most 256.
std::vector<std::wstring> enumEntryNames();

// InternetDialA with flag 2 (forced unattended). 0 = connected and `connection` holds the
// handle; anything else is the platform's error code. The handle is a DWORD_PTR: 64 bits
// wide on 64-bit Windows.
std::uint32_t dial(std::uintptr_t parentWindow, const std::wstring &name,
                   std::uintptr_t &connection);

// InternetHangUp. 0 = hung up.
std::uint32_t hangUp(std::uintptr_t connection);

// HKLM\System\CurrentControlSet\Services\RemoteAccess, value "Remote Connection" non-zero.
// Any registry failure reads as "not connected".
bool remoteConnectionFlag();

} // namespace ringlark::win32
