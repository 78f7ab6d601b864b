#pragma once

#include "tcp_connector.h"
#include "tcp_socket.h"

#include <QAbstractSocket>
#include <QList>
#include <QSslCertificate>
#include <QStringList>

class QSslSocket;
class QTcpSocket;

namespace ringlark {

// The real POP3 connection: plain TCP, or TLS from the first byte with the peer's
// certificate checked against the system's trusted roots and the host name. There is no
// way to accept an unverified certificate.
//
// TLS is loaded only when a TLS connection is made: merely constructing a QSslSocket loads
// the TLS plugin and the crypto library (some 4.5 MB resident), which a program that only
// ever talks plain POP3 would carry for its whole run.
class QtTcpSocket final : public TcpSocket
{
    Q_OBJECT
public:
    // extraCaCertificates: authorities trusted beside the system's roots. Only tests pass
    // any, to trust a certificate authority they made; the program trusts the system store.
    explicit QtTcpSocket(QList<QSslCertificate> extraCaCertificates = {},
                         QObject *parent = nullptr);

    void connectToServer(const QString &host, quint16 port, bool tls) override;
    void close() override;
    bool isClosed() const override;
    qint64 bytesAvailable() const override;
    QByteArray readAll() override;
    void write(const QByteArray &data) override;

private:
    void onReadyRead();
    void onError(QAbstractSocket::SocketError error);
#ifndef Q_OS_WIN
    void onConnected(qintptr descriptor);
#endif
    void sslConfigure();
    void newSocket(bool tls);

    QTcpSocket *m_socket = nullptr;
    QSslSocket *m_ssl = nullptr; // m_socket itself for a TLS connection, else null
#ifndef Q_OS_WIN
    TcpConnector m_connector; // POSIX only; Windows keeps Qt's own connect
#endif
    QString m_host;
    bool m_connecting = false; // resolving the host or waiting for the TCP connect
    // Empty: the system's roots, looked up on demand. Otherwise those roots plus the extra
    // authorities.
    QList<QSslCertificate> m_caCertificates;
    QStringList m_sslErrors;
    bool m_active = false; // from connectToServer until close or the connection's end
};

} // namespace ringlark
