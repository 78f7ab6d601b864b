#include "dialup_connection.h"

namespace ringlark {

WinInet::WinInet(DialUpProvider &provider, QObject *parent) : QObject(parent), m_provider(provider)
{
    connect(&m_provider, &DialUpProvider::dialFinished, this, &WinInet::onDialFinished);
}

WinInet::~WinInet()
{
    abandonDial();
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

qint32 WinInet::HangUpEntry(const QString &entryName)
{
    if (m_hConnection != 0)
        return HangUp();
    const qint32 result = m_provider.hangUpEntry(entryName);
    if (result != -1)
        emit ConnectionClosed();
    return result;
}

QStringList WinInet::addresses() const
{
    return m_hConnection != 0 ? m_provider.addresses(m_hConnection) : QStringList();
}

void WinInet::ListDUNs(QStringList &entryNames)
{
    entryNames = m_provider.listEntries();
}

void WinInet::ListDUNsLater(std::function<void(const QStringList &)> done)
{
    m_provider.listEntriesLater(this, [this, done = std::move(done),
                                       abandoned = m_abandoned](const QStringList &names) {
        if (abandoned == m_abandoned)
            done(names);
    });
}

void WinInet::StartDUN(quintptr parentWindow, const QString &entryName)
{
    if (m_dialling)
        return;
    // The handle first: the system is asked (a blocking read) only when there is a
    // connection of ours to ask about.
    if (m_hConnection != 0 && IsRemoteConnected()) {
        // Nothing to wait for, but the answer comes the same way as a dial's.
        QMetaObject::invokeMethod(
            this, [this] { emit StartDUNFinished(-1); }, Qt::QueuedConnection);
        return;
    }
    m_dialling = true;
    m_provider.startDial(parentWindow, entryName);
}

void WinInet::onDialFinished(qint32 result, DialUpProvider::Handle handle)
{
    if (!m_dialling)
        return;
    m_dialling = false;
    if (result != 0) {
        m_hConnection = 0;
        emit StartDUNFinished(result);
        return;
    }
    m_hConnection = handle;
    emit ConnectionMade();
    emit StartDUNFinished(0);
}

void WinInet::abandonDial()
{
    ++m_abandoned;
    if (!m_dialling)
        return;
    m_dialling = false;
    m_provider.abandonDial();
}

bool WinInet::IsRemoteConnected()
{
    return m_provider.remoteConnected();
}

} // namespace ringlark
