#pragma once

// Qt-free wrappers over the ANSI registry functions, so that the Windows side compiles and is
// checked without Qt. The results are Win32 error codes.

#include <cstdint>

namespace ringlark::win32 {

using RegHandle = void *;

// RegOpenKeyExA under one of the predefined roots, given by its number (0x80000002 is
// HKEY_LOCAL_MACHINE). An unknown root gives ERROR_INVALID_HANDLE.
std::int32_t regOpenKey(std::uint32_t root, const char *subKey, std::uint32_t access,
                        RegHandle *key);

// RegQueryValueExA; *size is the buffer's capacity on entry and the delivered size on return.
std::int32_t regQueryValue(RegHandle key, const char *valueName, std::uint32_t *type,
                           unsigned char *data, std::uint32_t *size);

// RegCloseKey; its result is of no use to the callers.
void regCloseKey(RegHandle key);

} // namespace ringlark::win32
