#pragma once

#include <QByteArray>
#include <QObject>
#include <QTcpServer>
#include <QTcpSocket>

namespace ringlark::test {

// A raw TCP peer on 127.0.0.1 and a free port that keeps every byte a client sent, so a
// test can check what reached the wire. It plays a broken "TLS" server, or relays each
// connection to a real server while recording both directions.
class RecordingServer : public QObject
{
    Q_OBJECT
public:
    enum class Mode
    {
        Send,            // sends `reply` at once, then waits
        Silent,          // accepts and never answers
        CloseAtOnce,     // accepts and closes the connection politely (FIN)
        AbortAtOnce,     // accepts and resets the connection (RST)
        AbortAfterHello, // resets the connection once the client's first bytes arrived
        Relay,           // forwards to 127.0.0.1:relayPort
    };

    explicit RecordingServer(Mode mode, QObject *parent = nullptr);

    bool listen();
    quint16 port() const { return m_server.serverPort(); }

    QByteArray reply;
    quint16 relayPort = 0;

    // Everything clients sent, and (relay) what the server sent back, over all connections.
    QByteArray fromClient;
    QByteArray toClient;
    int connections = 0;

private:
    void onNewConnection();
    void relay(QTcpSocket *client);

    Mode m_mode;
    QTcpServer m_server;
};

} // namespace ringlark::test
