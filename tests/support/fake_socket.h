#pragma once

#include "tcp_socket.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <utility>

namespace ringlark::test {

// A socket that records what the client writes and lets the test deliver the server's bytes
// in any chunks, and raise errors and closes.
class FakeSocket final : public TcpSocket
{
public:
    struct Connect
    {
        QString host;
        quint16 port;
        bool tls;
    };

    void connectToServer(const QString &host, quint16 port, bool tls) override
    {
        connects.append({host, port, tls});
        incoming.clear();
        closed = false;
    }
    void close() override
    {
        closed = true;
        incoming.clear();
        ++closeCount;
    }
    bool isClosed() const override { return closed; }
    qint64 bytesAvailable() const override { return incoming.size() + pendingInSystem; }
    QByteArray readAll() override { return std::exchange(incoming, {}); }
    void write(const QByteArray &data) override { written += data; }

    // The server sends `bytes` as one chunk (one readyRead). Ignored once closed, as a
    // closed socket delivers nothing.
    void deliver(const QByteArray &bytes)
    {
        if (closed)
            return;
        incoming += bytes;
        emit readyRead();
    }
    // Bytes that have arrived but whose readyRead has not been handled yet.
    void queueUnread(const QByteArray &bytes) { incoming += bytes; }
    void raiseError(int code, const QString &text) { emit errorOccurred(code, text); }
    // The server closes; bytes already delivered stay readable.
    void serverClose()
    {
        closed = true;
        emit remoteClosed();
    }

    // The client's lines so far, without their CR LF.
    QList<QByteArray> writtenLines() const
    {
        QList<QByteArray> out = written.split('\n');
        out.removeLast(); // after the last line end
        for (QByteArray &l : out)
            if (l.endsWith('\r'))
                l.chop(1);
        return out;
    }

    QList<Connect> connects;
    QByteArray written;
    QByteArray incoming;
    // Bytes the system holds for the socket that readAll cannot return yet.
    qint64 pendingInSystem = 0;
    int closeCount = 0;
    bool closed = true;
};

} // namespace ringlark::test
