#include "tcp_connector.h"

#include <QHostInfo>
#include <QSocketNotifier>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <utility>

namespace ringlark {

namespace {

QAbstractSocket::SocketError socketError(int err)
{
    switch (err) {
    case ECONNREFUSED:
        return QAbstractSocket::ConnectionRefusedError;
    case ETIMEDOUT:
        return QAbstractSocket::SocketTimeoutError;
    case EACCES:
    case EPERM:
        return QAbstractSocket::SocketAccessError;
    default:
        return QAbstractSocket::NetworkError;
    }
}

} // namespace

TcpConnector::~TcpConnector()
{
    cancel();
}

void TcpConnector::start(const QString &host, quint16 port)
{
    cancel();
    m_port = port;
    m_lastError = QAbstractSocket::HostNotFoundError;
    m_lastText = QStringLiteral("Host %1 not found").arg(host);
    QHostAddress literal;
    if (literal.setAddress(host)) {
        // An address needs no lookup; still report asynchronously, as a lookup would.
        m_addresses = {literal};
        m_lookupId = 0;
        QMetaObject::invokeMethod(
            this,
            [this, generation = m_generation] {
                if (generation != m_generation)
                    return;
                m_lookupId = -1;
                tryNext();
            },
            Qt::QueuedConnection);
        return;
    }
    m_lookupId = QHostInfo::lookupHost(host, this, &TcpConnector::onLookedUp);
}

void TcpConnector::cancel()
{
    ++m_generation;
    if (m_lookupId > 0)
        QHostInfo::abortHostLookup(m_lookupId);
    m_lookupId = -1;
    m_addresses.clear();
    closePending();
}

void TcpConnector::onLookedUp(const QHostInfo &info)
{
    if (info.lookupId() != m_lookupId)
        return;
    m_lookupId = -1;
    if (info.error() != QHostInfo::NoError || info.addresses().isEmpty()) {
        emit failed(QAbstractSocket::HostNotFoundError, info.errorString());
        return;
    }
    m_addresses = info.addresses();
    tryNext();
}

void TcpConnector::tryNext()
{
    while (!m_addresses.isEmpty()) {
        const QHostAddress address = m_addresses.takeFirst();
        sockaddr_storage storage{};
        socklen_t length = 0;
        if (address.protocol() == QAbstractSocket::IPv4Protocol) {
            auto *in = reinterpret_cast<sockaddr_in *>(&storage);
            in->sin_family = AF_INET;
            in->sin_port = htons(m_port);
            in->sin_addr.s_addr = htonl(address.toIPv4Address());
            length = sizeof(sockaddr_in);
        } else if (address.protocol() == QAbstractSocket::IPv6Protocol) {
            auto *in6 = reinterpret_cast<sockaddr_in6 *>(&storage);
            in6->sin6_family = AF_INET6;
            in6->sin6_port = htons(m_port);
            const Q_IPV6ADDR v6 = address.toIPv6Address();
            std::memcpy(&in6->sin6_addr, v6.c, sizeof(v6.c));
            in6->sin6_scope_id = address.scopeId().toUInt();
            length = sizeof(sockaddr_in6);
        } else {
            continue;
        }
        m_fd = ::socket(storage.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (m_fd < 0) {
            m_lastError = socketError(errno);
            m_lastText = QString::fromLocal8Bit(std::strerror(errno));
            continue;
        }
        if (::connect(m_fd, reinterpret_cast<sockaddr *>(&storage), length) == 0) {
            const qintptr fd = std::exchange(m_fd, -1);
            emit connected(fd);
            return;
        }
        if (errno == EINPROGRESS) {
            m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Write);
            connect(m_notifier.get(), &QSocketNotifier::activated, this,
                    &TcpConnector::onWritable);
            return;
        }
        m_lastError = socketError(errno);
        m_lastText = QString::fromLocal8Bit(std::strerror(errno));
        closePending();
    }
    emit failed(m_lastError, m_lastText);
}

void TcpConnector::onWritable()
{
    m_notifier.reset();
    int err = 0;
    socklen_t length = sizeof(err);
    if (::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &err, &length) != 0)
        err = errno;
    if (err == 0) {
        const qintptr fd = std::exchange(m_fd, -1);
        emit connected(fd);
        return;
    }
    m_lastError = socketError(err);
    m_lastText = QString::fromLocal8Bit(std::strerror(err));
    closePending();
    tryNext();
}

void TcpConnector::closePending()
{
    m_notifier.reset();
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

} // namespace ringlark
