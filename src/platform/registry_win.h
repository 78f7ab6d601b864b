#pragma once

#include "registry.h"

namespace ringlark {

// The Windows registry, through the Qt-free wrappers in registry_win32.h.
class WinRegistry final : public Registry
{
public:
    qint32 openKey(Root root, const QByteArray &subKey, quint32 access, Handle &key) override;
    qint32 queryValue(Handle key, const QByteArray &valueName, quint32 &type, char *data,
                      quint32 &size) override;
    void closeKey(Handle key) override;
};

} // namespace ringlark
