#include "dialup_connection.h"

#include <utility>

namespace ringlark {

WinInet::WinInet(DialUpProvider &provider, QObject *parent) : QObject(parent), m_provider(provider)
{
    connect(&m_provider, &DialUpProvider::dialFinished, this, &WinInet::onDialFinished);
}

WinInet::~WinInet()
{
    abandonDial();
    // By default a connection the program made stays up after it ends: the owner may be
    // using it remotely. No event here; nobody is listening any more: the hang-up is sent,
    // and its answer dropped.
    if (m_disconnectOnTerminate && m_hConnection != 0)
        m_provider.hangUp(m_hConnection, &m_provider, {});
}

void WinInet::HangUp(std::function<void(qint32)> done)
{
    if (m_hConnection == 0) {
        QMetaObject::invokeMethod(
            this, [done = std::move(done)] { answer(done, -1); }, Qt::QueuedConnection);
        return;
    }
    // A failed hang-up still leaves us without a usable handle: the connection is gone or
    // in an unknown state, and trying the same handle again would not help. Cleared at
    // once, so that a dial asked for meanwhile does not count on it.
    const DialUpProvider::Handle handle = std::exchange(m_hConnection, 0);
    m_provider.hangUp(handle, this, [this, done = std::move(done)](qint32 result) {
        emit ConnectionClosed();
        answer(done, result);
    });
}

void WinInet::HangUpEntry(const QString &entryName, std::function<void(qint32)> done)
{
    if (m_hConnection != 0) {
        HangUp(std::move(done));
        return;
    }
    m_provider.hangUpEntry(entryName, this, [this, done = std::move(done)](qint32 result) {
        if (result != -1)
            emit ConnectionClosed();
        answer(done, result);
    });
}

QStringList WinInet::addresses() const
{
    return m_hConnection != 0 ? m_provider.addresses(m_hConnection) : QStringList();
}

void WinInet::ListDUNsLater(std::function<void(const QStringList &)> done)
{
    m_provider.listEntries(this, [this, done = std::move(done),
                                       abandoned = m_abandoned](const QStringList &names) {
        if (abandoned == m_abandoned)
            done(names);
    });
}

void WinInet::StartDUN(quintptr parentWindow, const QString &entryName)
{
    if (m_dialling)
        return;
    m_dialling = true;
    // The handle first: the system is asked only when there is a connection of ours to ask
    // about.
    if (m_hConnection == 0) {
        m_provider.startDial(parentWindow, entryName);
        return;
    }
    m_provider.remoteConnected(this, [this, parentWindow, entryName,
                                      abandoned = m_abandoned](bool connected) {
        if (abandoned != m_abandoned)
            return;
        if (!connected) {
            m_provider.startDial(parentWindow, entryName);
            return;
        }
        m_dialling = false;
        emit StartDUNFinished(-1);
    });
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

} // namespace ringlark
