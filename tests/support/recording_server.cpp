#include "recording_server.h"

#include "hostile_peer.h"

#include <QHostAddress>

namespace ringlark::test {

RecordingServer::RecordingServer(Mode mode, QObject *parent) : QObject(parent), m_mode(mode)
{
    connect(&m_server, &QTcpServer::newConnection, this, &RecordingServer::onNewConnection);
}

bool RecordingServer::listen()
{
    return m_server.listen(QHostAddress::LocalHost, 0);
}

void RecordingServer::onNewConnection()
{
    while (QTcpSocket *client = m_server.nextPendingConnection()) {
        ++connections;
        connect(client, &QTcpSocket::disconnected, client, &QObject::deleteLater);
        if (m_mode == Mode::Relay) {
            relay(client);
            continue;
        }
        connect(client, &QTcpSocket::readyRead, this, [this, client] {
            fromClient += client->readAll();
            if (m_mode == Mode::AbortAfterHello)
                resetConnection(client);
        });
        switch (m_mode) {
        case Mode::Send:
            client->write(reply);
            break;
        case Mode::CloseAtOnce:
            client->disconnectFromHost();
            break;
        case Mode::AbortAtOnce:
            resetConnection(client);
            break;
        default:
            break;
        }
    }
}

void RecordingServer::relay(QTcpSocket *client)
{
    auto *upstream = new QTcpSocket(client);
    connect(client, &QTcpSocket::readyRead, upstream, [this, client, upstream] {
        const QByteArray data = client->readAll();
        fromClient += data;
        upstream->write(data);
    });
    connect(upstream, &QTcpSocket::readyRead, client, [this, client, upstream] {
        const QByteArray data = upstream->readAll();
        toClient += data;
        client->write(data);
    });
    connect(upstream, &QTcpSocket::disconnected, client,
            [client] { client->disconnectFromHost(); });
    connect(client, &QTcpSocket::disconnected, upstream,
            [upstream] { upstream->disconnectFromHost(); });
    upstream->connectToHost(QHostAddress::LocalHost, relayPort);
}

} // namespace ringlark::test
