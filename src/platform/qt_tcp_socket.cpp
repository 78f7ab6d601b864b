#include "qt_tcp_socket.h"

#include <QSslConfiguration>
#include <QSslError>
#include <QSslSocket>
#include <QTcpSocket>

#ifdef Q_OS_WIN
#include <winsock2.h>
#else
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace ringlark {

QtTcpSocket::QtTcpSocket(QList<QSslCertificate> extraCaCertificates, QObject *parent)
    : TcpSocket(parent)
{
    // Setting any CA list turns off the on-demand system roots, so name them too. Built once:
    // reading the system's few hundred roots takes a noticeable fraction of a second.
    if (!extraCaCertificates.isEmpty())
        m_caCertificates = QSslConfiguration::systemCaCertificates() + extraCaCertificates;

    newSocket(false);
#ifndef Q_OS_WIN
    connect(&m_connector, &TcpConnector::connected, this, &QtTcpSocket::onConnected);
    connect(&m_connector, &TcpConnector::failed, this,
            [this](QAbstractSocket::SocketError error, const QString &text) {
                m_connecting = false;
                if (m_active)
                    emit errorOccurred(static_cast<int>(error), text);
            });
#endif
}

void QtTcpSocket::newSocket(bool tls)
{
    // A fresh socket for every connection: one that failed a TLS handshake keeps its
    // encryption state, and would misread the next plain connection.
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->abort();
        m_socket->deleteLater();
    }
    m_ssl = tls ? new QSslSocket(this) : nullptr;
    m_socket = m_ssl ? m_ssl : new QTcpSocket(this);
    connect(m_socket, &QTcpSocket::readyRead, this, &QtTcpSocket::onReadyRead);
    connect(m_socket, &QTcpSocket::errorOccurred, this, &QtTcpSocket::onError);
    if (!m_ssl)
        return;
    // Data may have been read during the handshake's last step; deliver it now.
    connect(m_ssl, &QSslSocket::encrypted, this, &QtTcpSocket::onReadyRead);
    connect(m_ssl, &QSslSocket::sslErrors, this, [this](const QList<QSslError> &errors) {
        for (const QSslError &e : errors)
            m_sslErrors.append(e.errorString());
    });
}

void QtTcpSocket::connectToServer(const QString &host, quint16 port, bool tls)
{
    close();
    newSocket(tls);
    m_sslErrors.clear();
    m_host = host;
    m_active = true;
#ifdef Q_OS_WIN
    if (!tls) {
        m_socket->connectToHost(host, port);
        return;
    }
    sslConfigure();
    m_ssl->connectToHostEncrypted(host, port); // verifies the certificate against `host`
#else
    m_connecting = true;
    m_connector.start(host, port);
#endif
}

#ifndef Q_OS_WIN
void QtTcpSocket::onConnected(qintptr descriptor)
{
    m_connecting = false;
    if (!m_active || !m_socket->setSocketDescriptor(descriptor)) {
        ::close(static_cast<int>(descriptor));
        if (m_active)
            emit errorOccurred(static_cast<int>(m_socket->error()), m_socket->errorString());
        return;
    }
    if (!m_ssl)
        return;
    sslConfigure();
    // The certificate is checked against the name the user typed, not the address.
    m_ssl->setPeerVerifyName(m_host);
    m_ssl->startClientEncryption();
}
#endif

void QtTcpSocket::sslConfigure()
{
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    if (!m_caCertificates.isEmpty())
        config.setCaCertificates(m_caCertificates);
    config.setPeerVerifyMode(QSslSocket::VerifyPeer);
    m_ssl->setSslConfiguration(config);
}

void QtTcpSocket::close()
{
    m_active = false;
    m_connecting = false;
#ifndef Q_OS_WIN
    m_connector.cancel();
#endif
    // What was written goes out first, as far as it can without waiting: the LOGOUT that
    // ends an IDLE when the program ends.
    if (m_socket->state() == QAbstractSocket::ConnectedState)
        m_socket->flush();
    m_socket->abort();
}

bool QtTcpSocket::isClosed() const
{
    return !m_active || (!m_connecting && m_socket->state() == QAbstractSocket::UnconnectedState);
}

qint64 QtTcpSocket::bytesAvailable() const
{
    // Qt's buffer, plus what the system holds for the socket that Qt has not read yet
    // (after the thread was blocked, say by a dial): the watchdog must not call a server
    // silent whose answer is already here.
    qint64 waiting = m_socket->bytesAvailable();
    const qintptr fd = m_socket->socketDescriptor();
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
    return m_socket->readAll();
}

void QtTcpSocket::write(const QByteArray &data)
{
    m_socket->write(data);
}

void QtTcpSocket::onReadyRead()
{
    // Over TLS only decrypted data after a completed handshake counts.
    if (!m_active || (m_ssl && !m_ssl->isEncrypted()) || m_socket->bytesAvailable() == 0)
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
    QString text = m_socket->errorString();
    if (!m_sslErrors.isEmpty())
        text = m_sslErrors.join(QStringLiteral("; "));
    emit errorOccurred(static_cast<int>(error), text);
}

} // namespace ringlark
