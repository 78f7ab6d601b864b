#include "hostile_peer.h"

#include <QFile>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

#include <memory>

#ifdef Q_OS_WIN
#include <winsock2.h>
#else
#include <sys/socket.h>
#endif

namespace ringlark::test {

namespace {

constexpr qint64 kOutstanding = 256 * 1024;

qint64 statusField(const char *name)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray key = QByteArray(name) + ':';
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (!line.startsWith(key))
            continue;
        const QByteArray kb = line.mid(key.size()).trimmed().split(' ').value(0);
        return kb.toLongLong() * 1024;
    }
    return -1;
}

bool sanitized()
{
#if defined(__SANITIZE_ADDRESS__)
    return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    return true;
#else
    return false;
#endif
#else
    return false;
#endif
}

} // namespace

void streamInto(QTcpSocket *socket, Source source, int intervalMs)
{
    // The timer lives with the socket and goes when the connection does.
    auto *timer = new QTimer(socket);
    auto done = std::make_shared<bool>(false);
    QPointer<QTcpSocket> guard(socket);
    auto pump = [guard, timer, done, source = std::move(source), intervalMs]() mutable {
        if (!guard || guard->state() != QAbstractSocket::ConnectedState) {
            *done = true;
            timer->stop();
            return;
        }
        do {
            const QByteArray piece = source();
            if (piece.isEmpty()) {
                *done = true;
                timer->stop();
                return;
            }
            guard->write(piece);
        } while (intervalMs == 0 && guard->bytesToWrite() < kOutstanding);
    };
    QObject::connect(timer, &QTimer::timeout, socket, pump);
    if (intervalMs > 0) {
        timer->start(intervalMs);
        return;
    }
    // Top up each time the peer has taken some of what was written.
    timer->setSingleShot(true);
    QObject::connect(socket, &QTcpSocket::bytesWritten, timer, [timer, done] {
        if (!*done && !timer->isActive())
            timer->start(0);
    });
    timer->start(0);
}

Source endless(const QByteArray &piece)
{
    return [piece] { return piece; };
}

Source sized(const QByteArray &head, qsizetype total, char fill, const QByteArray &tail)
{
    int stage = 0;
    qsizetype left = total;
    return [=]() mutable -> QByteArray {
        if (stage == 0) {
            stage = 1;
            return head;
        }
        if (stage == 1 && left > 0) {
            const qsizetype n = qMin<qsizetype>(left, 64 * 1024);
            left -= n;
            return QByteArray(n, fill);
        }
        if (stage == 1) {
            stage = 2;
            if (!tail.isEmpty())
                return tail;
        }
        return QByteArray();
    };
}

Source byteByByte(const QByteArray &bytes, std::optional<char> thenForever)
{
    qsizetype next = 0;
    return [=]() mutable -> QByteArray {
        if (next < bytes.size())
            return bytes.mid(next++, 1);
        return thenForever ? QByteArray(1, *thenForever) : QByteArray();
    };
}

void resetConnection(QAbstractSocket *socket)
{
    // A zero linger time makes the close send RST and drop anything unsent.
    const qintptr fd = socket->socketDescriptor();
    if (fd >= 0) {
        const linger hard{1, 0};
#ifdef Q_OS_WIN
        ::setsockopt(static_cast<SOCKET>(fd), SOL_SOCKET, SO_LINGER,
                     reinterpret_cast<const char *>(&hard), sizeof hard);
#else
        ::setsockopt(static_cast<int>(fd), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
#endif
    }
    socket->abort();
}

bool RssProbe::usable()
{
    if (sanitized())
        return false;
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    return statusField("VmHWM") > 0 && clear.open(QIODevice::WriteOnly);
}

void RssProbe::begin()
{
    // "5" resets the peak resident size (VmHWM) to the current one.
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
    clear.close();
    baseline = statusField("VmRSS");
}

qint64 RssProbe::peakGrowth() const
{
    return statusField("VmHWM") - baseline;
}

} // namespace ringlark::test
