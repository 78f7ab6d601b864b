#pragma once

#include <QAbstractSocket>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QSocketNotifier>
#include <QString>

#include <memory>

class QHostInfo;

namespace ringlark {

// Makes the TCP connection itself: resolves the host, then tries its addresses in turn, each
// with one non-blocking connect. Qt 6.4's own connect, when a server resets every connection
// the moment it accepts it, reconnects in a tight loop (tens of thousands of times a second)
// until someone aborts it; an unattended program must not spin or hammer a server like that.
// Here a connection that the server resets is simply a connected socket that then fails.
class TcpConnector : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    ~TcpConnector() override;

    void start(const QString &host, quint16 port);
    void cancel();
    bool busy() const { return m_lookupId >= 0 || m_fd >= 0; }

signals:
    // The connected socket's descriptor, now owned by the receiver.
    void connected(qintptr descriptor);
    void failed(QAbstractSocket::SocketError error, const QString &text);

private:
    void onLookedUp(const QHostInfo &info);
    void tryNext();
    void onWritable();
    void closePending();

    int m_lookupId = -1;
    quint64 m_generation = 0; // a cancel or a new start voids work still queued
    QList<QHostAddress> m_addresses;
    quint16 m_port = 0;
    int m_fd = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QAbstractSocket::SocketError m_lastError = QAbstractSocket::ConnectionRefusedError;
    QString m_lastText;
};

} // namespace ringlark
