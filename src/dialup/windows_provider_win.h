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

    // Remote Access answers these at once; the answers come through the event loop all the
    // same, as the interface promises.
    void listEntries(QObject *context,
                     std::function<void(const QStringList &names)> done) override;
    void startDial(quintptr parentWindow, const QString &entry) override;
    void abandonDial() override;
    void hangUp(Handle handle, QObject *context, std::function<void(qint32 result)> done) override;
    void remoteConnected(QObject *context, std::function<void(bool connected)> done) override;

private:
    // The dial under way, by number: the result of an abandoned one is dropped.
    quint64 m_dial = 0;
    bool m_dialing = false;
};

} // namespace ringlark
