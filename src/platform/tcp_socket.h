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

    // tls: TLS from the first byte, with the certificate checked against the trusted roots.
    virtual void connectToServer(const QString &host, quint16 port, bool tls) = 0;
    // Drops the connection at once; no further signal comes from it.
    virtual void close() = 0;
    virtual bool isClosed() const = 0;
    virtual qint64 bytesAvailable() const = 0;
    virtual QByteArray readAll() = 0;
    virtual void write(const QByteArray &data) = 0;

signals:
    void readyRead();
    // code: our socket error number (the Qt socket error); description: its text.
    void errorOccurred(int code, const QString &description);
    // The server closed the connection: a close, not an error.
    void remoteClosed();
};

} // namespace ringlark
