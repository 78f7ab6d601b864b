#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

namespace ringlark {

// The POP3 connection. Asynchronous: the outcome of a connect arrives as readyRead with the
// greeting, or as errorOccurred.
class TcpSocket : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // tls: TLS from the first byte, with the certificate checked against the trusted roots
    // and the host name. readyRead then comes only once the handshake has completed, so
    // nothing is ever written to a server that has not been verified.
    virtual void connectToServer(const QString &host, quint16 port, bool tls) = 0;
    // Drops the connection at once, discarding unread data; no further signal comes from
    // it until the next connectToServer.
    virtual void close() = 0;
    virtual bool isClosed() const = 0;
    // Bytes received and not read yet, including any the system holds that have not been
    // taken into the socket's buffer (readAll may then return less until the event loop
    // has run).
    virtual qint64 bytesAvailable() const = 0;
    virtual QByteArray readAll() = 0;
    virtual void write(const QByteArray &data) = 0;

signals:
    void readyRead();
    // code: the Qt socket error number; description: Qt's text for it (for a TLS failure,
    // the certificate or handshake errors' texts).
    void errorOccurred(int code, const QString &description);
    // The server closed the connection: a close, not an error. Data that arrived before
    // the close is still readable.
    void remoteClosed();
};

} // namespace ringlark
