#include "registry_win32.h"

#include <windows.h>

namespace ringlark::win32 {

namespace {
bool predefinedRoot(std::uint32_t root, HKEY &out)
{
    switch (root) {
    case 0x80000001u:
        out = HKEY_CURRENT_USER;
        return true;
    case 0x80000002u:
        out = HKEY_LOCAL_MACHINE;
        return true;
    default:
        return false;
    }
}
} // namespace

std::int32_t regOpenKey(std::uint32_t root, const char *subKey, std::uint32_t access,
                        RegHandle *key)
{
    HKEY parent = nullptr;
    if (key == nullptr || !predefinedRoot(root, parent))
        return ERROR_INVALID_HANDLE;
    HKEY opened = nullptr;
    const LONG result = RegOpenKeyExA(parent, subKey, 0, static_cast<REGSAM>(access), &opened);
    *key = result == ERROR_SUCCESS ? static_cast<RegHandle>(opened) : nullptr;
    return static_cast<std::int32_t>(result);
}

std::int32_t regQueryValue(RegHandle key, const char *valueName, std::uint32_t *type,
                           unsigned char *data, std::uint32_t *size)
{
    if (key == nullptr || size == nullptr)
        return ERROR_INVALID_HANDLE;
    DWORD valueType = REG_NONE;
    DWORD bytes = static_cast<DWORD>(*size);
    const LONG result =
        RegQueryValueExA(static_cast<HKEY>(key), valueName, nullptr, &valueType, data, &bytes);
    if (type != nullptr)
        *type = static_cast<std::uint32_t>(valueType);
    *size = static_cast<std::uint32_t>(bytes);
    return static_cast<std::int32_t>(result);
}

void regCloseKey(RegHandle key)
{
    if (key != nullptr)
        RegCloseKey(static_cast<HKEY>(key));
}

} // namespace ringlark::win32
