#include "registry_win.h"

#include "registry_win32.h"

namespace ringlark {

qint32 WinRegistry::openKey(Root root, const QByteArray &subKey, quint32 access, Handle &key)
{
    win32::RegHandle opened = nullptr;
    const std::int32_t result =
        win32::regOpenKey(static_cast<std::uint32_t>(root), subKey.constData(), access, &opened);
    key = reinterpret_cast<Handle>(opened);
    return result;
}

qint32 WinRegistry::queryValue(Handle key, const QByteArray &valueName, quint32 &type, char *data,
                               quint32 &size)
{
    std::uint32_t valueType = 0;
    std::uint32_t bytes = size;
    const std::int32_t result =
        win32::regQueryValue(reinterpret_cast<win32::RegHandle>(key), valueName.constData(),
                             &valueType, reinterpret_cast<unsigned char *>(data), &bytes);
    type = valueType;
    size = bytes;
    return result;
}

void WinRegistry::closeKey(Handle key)
{
    win32::regCloseKey(reinterpret_cast<win32::RegHandle>(key));
}

std::unique_ptr<Registry> createSystemRegistry()
{
    return std::make_unique<WinRegistry>();
}

} // namespace ringlark
