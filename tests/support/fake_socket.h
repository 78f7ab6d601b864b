#pragma once

#include "tcp_socket.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <utility>

namespace ringlark::test {

// A socket that records what the client writes and lets the test deliver the server's bytes
// in any chunks, and raise errors and closes. The unit tests and the fuzz targets share it.
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
    void write(const QByteArray &data) override
    {
        if (onWrite)
            onWrite(data);
        written += data;
    }

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

    // Plays a dialogue written as the traffic log shows it: "C: USER taro" is the client's
    // next line; "S: +OK" is a server line, sent with CR LF, and consecutive server lines go
    // out as one chunk. A chunk goes out only once every client line so far was expected, so
    // a client that writes before it has its answer is caught, and when the dialogue ends
    // the client must have written nothing more. Returns the first difference, empty when
    // the dialogue went as written; a later call goes on where this one stopped.
    QString play(const QList<QByteArray> &dialogue)
    {
        QByteArray chunk;
        const auto unexpected = [this]() -> QString {
            const QList<QByteArray> lines = writtenLines();
            if (lines.size() <= heard)
                return {};
            return QStringLiteral("unexpected client line \"%1\"")
                .arg(QString::fromLatin1(lines.at(heard)));
        };
        const auto send = [&]() -> QString {
            if (chunk.isEmpty())
                return {};
            if (const QString early = unexpected(); !early.isEmpty())
                return early + QStringLiteral(" before the server's \"%1\"")
                                   .arg(QString::fromLatin1(chunk.trimmed()));
            deliver(std::exchange(chunk, {}));
            return {};
        };
        for (const QByteArray &step : dialogue) {
            if (step.startsWith("S: ")) {
                chunk += step.mid(3) + "\r\n";
                continue;
            }
            if (const QString failed = send(); !failed.isEmpty())
                return failed;
            const QByteArray want = step.mid(3);
            const QByteArray got = writtenLines().value(heard);
            if (got != want || !step.startsWith("C: "))
                return QStringLiteral("expected client line \"%1\", got \"%2\"")
                    .arg(QString::fromLatin1(want), QString::fromLatin1(got));
            ++heard;
        }
        if (const QString failed = send(); !failed.isEmpty())
            return failed;
        return unexpected();
    }

    QList<Connect> connects;
    // Sees each write as the client made it, before it is recorded: a fuzz target's checks.
    std::function<void(const QByteArray &)> onWrite;
    QByteArray written;
    qsizetype heard = 0; // client lines that play() has matched
    QByteArray incoming;
    // Bytes the system holds for the socket that readAll cannot return yet.
    qint64 pendingInSystem = 0;
    int closeCount = 0;
    bool closed = true;
};

} // namespace ringlark::test
