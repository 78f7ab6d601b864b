#include "qt_tcp_socket.h"

#include <QSslConfiguration>
#include <QSslError>

#ifdef Q_OS_WIN
#include <winsock2.h>
#else
#include <sys/ioctl.h>
#endif

namespace ringlark {

QtTcpSocket::QtTcpSocket(QList<QSslCertificate> extraCaCertificates, QObject *parent)
    : TcpSocket(parent), m_extraCa(std::move(extraCaCertificates))
{
    connect(&m_socket, &QSslSocket::readyRead, this, &QtTcpSocket::onReadyRead);
    // Data may have been read during the handshake's last step; deliver it now.
    connect(&m_socket, &QSslSocket::encrypted, this, &QtTcpSocket::onReadyRead);
    connect(&m_socket, &QSslSocket::errorOccurred, this, &QtTcpSocket::onError);
    connect(&m_socket, &QSslSocket::sslErrors, this, [this](const QList<QSslError> &errors) {
        for (const QSslError &e : errors)
            m_sslErrors.append(e.errorString());
    });
}

void QtTcpSocket::connectToServer(const QString &host, quint16 port, bool tls)
{
    m_active = false;
    m_socket.abort();
    m_sslErrors.clear();
    m_tls = tls;
    m_active = true;
    if (!tls) {
        m_socket.connectToHost(host, port);
        return;
    }
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    if (!m_extraCa.isEmpty()) {
        // Setting any CA list turns off the on-demand system roots, so name them too.
        config.setCaCertificates(QSslConfiguration::systemCaCertificates() + m_extraCa);
    }
    config.setPeerVerifyMode(QSslSocket::VerifyPeer);
    m_socket.setSslConfiguration(config);
    m_socket.connectToHostEncrypted(host, port); // verifies the certificate against `host`
}

void QtTcpSocket::close()
{
    m_active = false;
    m_socket.abort();
}

bool QtTcpSocket::isClosed() const
{
    return !m_active || m_socket.state() == QAbstractSocket::UnconnectedState;
}

qint64 QtTcpSocket::bytesAvailable() const
{
    // Qt's buffer, plus what the system holds for the socket that Qt has not read yet
    // (after the thread was blocked, say by a dial): the watchdog must not call a server
    // silent whose answer is already here.
    qint64 waiting = m_socket.bytesAvailable();
    const qintptr fd = m_socket.socketDescriptor();
    if (m_active && fd >= 0) {
#ifdef Q_OS_WIN
        u_long pending = 0;
        if (::ioctlsocket(static_cast<SOCKET>(fd), FIONREAD, &pending) == 0)
            waiting += static_cast<qint64>(pending);
#else
        int pending = 0;
        if (::ioctl(static_cast<int>(fd), FIONREAD, &pending) == 0)
            waiting += pending;
#endif
    }
    return waiting;
}

QByteArray QtTcpSocket::readAll()
{
    return m_socket.readAll();
}

void QtTcpSocket::write(const QByteArray &data)
{
    m_socket.write(data);
}

void QtTcpSocket::onReadyRead()
{
    // Over TLS only decrypted data after a completed handshake counts.
    if (!m_active || (m_tls && !m_socket.isEncrypted()) || m_socket.bytesAvailable() == 0)
        return;
    emit readyRead();
}

void QtTcpSocket::onError(QAbstractSocket::SocketError error)
{
    if (!m_active)
        return;
    if (error == QAbstractSocket::RemoteHostClosedError) {
        m_active = false;
        emit remoteClosed();
        return;
    }
    QString text = m_socket.errorString();
    if (!m_sslErrors.isEmpty())
        text = m_sslErrors.join(QStringLiteral("; "));
    emit errorOccurred(static_cast<int>(error), text);
}

} // namespace ringlark
