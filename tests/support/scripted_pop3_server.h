#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTcpServer>

#include <functional>
#include <optional>

class QTcpSocket;

namespace ringlark::test {

// A small POP3 server on 127.0.0.1 and a free port, for window and end-to-end tests. It
// serves `messages` (raw mails, CR LF lines) to `user`/`password` with USER, PASS, STAT,
// TOP and QUIT, answering as Dovecot does (a bare "+OK" to USER and TOP). A test can make
// it silent, replace any answer, or drop connections.
class ScriptedPop3Server : public QObject
{
    Q_OBJECT
public:
    explicit ScriptedPop3Server(QObject *parent = nullptr);

    bool listen();
    quint16 port() const { return m_server.serverPort(); }
    // "127.0.0.1:port", the form the server setting takes.
    QString address() const;

    QList<QByteArray> messages;
    QByteArray user = "ringlark";
    QByteArray password = "secret";
    bool silent = false; // accept connections, never answer
    bool silentAfterGreeting = false;
    QByteArray greeting = "+OK Scripted POP3 ready.\r\n";
    // Returns the bytes to send instead of the normal answer to a command line (without CR
    // LF), or nullopt for the normal answer.
    std::function<std::optional<QByteArray>(const QByteArray &command)> answerOverride;
    // Hooks for behaviour that needs the connection itself (streaming, dripping, resets).
    // onConnect runs for each new connection; returning true means it has taken over the
    // greeting. onCommand runs for each command line before anything else; returning true
    // means it has dealt with the command and the server sends nothing for it.
    std::function<bool(QTcpSocket *socket)> onConnect;
    std::function<bool(QTcpSocket *socket, const QByteArray &command)> onCommand;

    // Every command line received, in order, across connections (without CR LF).
    QList<QByteArray> commands;
    int connections = 0;
    // Connections the client has not closed yet.
    int openConnections() const;
    // Closes every connection from the server side.
    void dropAll();

signals:
    void commandReceived(const QByteArray &command);

private:
    void onNewConnection();
    void onReadyRead(QTcpSocket *socket);
    QByteArray answer(QTcpSocket *socket, const QByteArray &command);

    QTcpServer m_server;
    QList<QPointer<QTcpSocket>> m_sockets;
};

} // namespace ringlark::test
