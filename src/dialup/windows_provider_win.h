#pragma once

#include "dialup_provider.h"

namespace ringlark {

// Dial-up through Remote Access and WinINet, with names converted from and to the system's
// ANSI code page.
class WindowsDialUpProvider final : public DialUpProvider
{
public:
    QStringList listEntries() override;
    qint32 dial(quintptr parentWindow, const QString &entry, Handle &handle) override;
    qint32 hangUp(Handle handle) override;
    bool remoteConnected() override;
};

} // namespace ringlark
