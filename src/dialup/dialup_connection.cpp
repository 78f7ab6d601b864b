#include "dialup_connection.h"

namespace ringlark {

WinInet::WinInet(DialUpProvider &provider, QObject *parent) : QObject(parent), m_provider(provider)
{
}

WinInet::~WinInet()
{
    // By default a connection the program made stays up after it ends: the owner may be
    // using it remotely. No event here; nobody is listening any more.
    if (m_disconnectOnTerminate && m_hConnection != 0)
        m_provider.hangUp(m_hConnection);
}

bool WinInet::Connected()
{
    return IsRemoteConnected();
}

qint32 WinInet::HangUp()
{
    if (m_hConnection == 0)
        return -1;
    const qint32 result = m_provider.hangUp(m_hConnection);
    // A failed hang-up still leaves us without a usable handle: the connection is gone or
    // in an unknown state, and trying the same handle again would not help.
    m_hConnection = 0;
    emit ConnectionClosed();
    return result;
}

void WinInet::ListDUNs(QStringList &entryNames)
{
    entryNames = m_provider.listEntries();
}

qint32 WinInet::StartDUN(quintptr parentWindow, const QString &entryName)
{
    if (IsRemoteConnected() && m_hConnection != 0)
        return -1;
    DialUpProvider::Handle handle = 0;
    const qint32 result = m_provider.dial(parentWindow, entryName, handle);
    if (result != 0) {
        m_hConnection = 0;
        return result;
    }
    m_hConnection = handle;
    emit ConnectionMade();
    return 0;
}

bool WinInet::IsRemoteConnected()
{
    return m_provider.remoteConnected();
}

} // namespace ringlark
