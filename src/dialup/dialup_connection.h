#pragma once

#include "dialup_provider.h"

#include <QObject>
#include <QStringList>

namespace ringlark {

// The program's one access to dial-up networking: lists the entries, dials one unattended,
// hangs up the connection it made, and tells whether the system reports a remote
// connection. It holds at most one connection handle, the last one it dialled itself.
//
// Results of StartDUN and HangUp: 0 success, -1 nothing done, anything else the provider's
// error number. ConnectionMade and ConnectionClosed are emitted from inside the call, so
// direct-connected handlers have run before StartDUN or HangUp returns.
class WinInet : public QObject
{
    Q_OBJECT
public:
    // The provider must outlive this object.
    explicit WinInet(DialUpProvider &provider, QObject *parent = nullptr);
    ~WinInet() override;

    // The handle of the connection this object dialled; 0 when it holds none.
    DialUpProvider::Handle hConnection() const { return m_hConnection; }

    bool DisconnectOnTerminate() const { return m_disconnectOnTerminate; }
    void setDisconnectOnTerminate(bool disconnect) { m_disconnectOnTerminate = disconnect; }

    // Whether the system reports an active remote connection; hConnection plays no part.
    bool Connected();

    qint32 HangUp();
    void ListDUNs(QStringList &entryNames);
    qint32 StartDUN(quintptr parentWindow, const QString &entryName);

signals:
    void ConnectionMade();
    void ConnectionClosed();

private:
    bool IsRemoteConnected();

    DialUpProvider &m_provider;
    DialUpProvider::Handle m_hConnection = 0;
    bool m_disconnectOnTerminate = false;
};

} // namespace ringlark
