#pragma once

#include "dialup_provider.h"

namespace ringlark {

// Dial-up through Remote Access and WinINet, with names converted from and to the system's
// ANSI code page. InternetDial returns only when the attempt has ended, so it runs in a
// thread of its own and its result comes back through the event loop.
class WindowsDialUpProvider final : public DialUpProvider
{
    Q_OBJECT
public:
    using DialUpProvider::DialUpProvider;
    ~WindowsDialUpProvider() override;

    QStringList listEntries() override;
    void startDial(quintptr parentWindow, const QString &entry) override;
    void abandonDial() override;
    qint32 hangUp(Handle handle) override;
    bool remoteConnected() override;

private:
    // The dial under way, by number: the result of an abandoned one is dropped.
    quint64 m_dial = 0;
    bool m_dialing = false;
};

} // namespace ringlark
