#include "scripted_pop3_server.h"

#include "sample_mails.h"

#include <QHostAddress>
#include <QTcpSocket>

namespace ringlark::test {

ScriptedPop3Server::ScriptedPop3Server(QObject *parent) : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, &ScriptedPop3Server::onNewConnection);
}

bool ScriptedPop3Server::listen()
{
    return m_server.listen(QHostAddress::LocalHost, 0);
}

QString ScriptedPop3Server::address() const
{
    return QStringLiteral("127.0.0.1:") + QString::number(port());
}

int ScriptedPop3Server::openConnections() const
{
    int n = 0;
    for (const auto &s : m_sockets)
        if (s && s->state() == QAbstractSocket::ConnectedState)
            ++n;
    return n;
}

void ScriptedPop3Server::dropAll()
{
    for (const auto &s : m_sockets)
        if (s)
            s->disconnectFromHost();
}

void ScriptedPop3Server::onNewConnection()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        ++connections;
        m_sockets.append(socket);
        socket->setProperty("step", QByteArray("auth"));
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        if (onConnect && onConnect(socket))
            continue;
        if (!silent)
            socket->write(greeting);
    }
}

void ScriptedPop3Server::onReadyRead(QTcpSocket *socket)
{
    while (socket->canReadLine()) {
        QByteArray line = socket->readLine();
        while (line.endsWith('\n') || line.endsWith('\r'))
            line.chop(1);
        commands.append(line);
        emit commandReceived(line);
        if (silent || silentAfterGreeting)
            continue;
        if (onCommand && onCommand(socket, line))
            continue;
        std::optional<QByteArray> reply;
        if (answerOverride)
            reply = answerOverride(line);
        socket->write(reply ? *reply : answer(socket, line));
        if (line == "QUIT")
            socket->disconnectFromHost();
    }
}

QByteArray ScriptedPop3Server::answer(QTcpSocket *socket, const QByteArray &command)
{
    const QList<QByteArray> words = command.split(' ');
    const QByteArray verb = words.value(0).toUpper();
    const QByteArray step = socket->property("step").toByteArray();
    if (verb == "QUIT")
        return "+OK Logging out.\r\n";
    if (verb == "CAPA") // a server from before CAPA: one command at a time
        return "-ERR Unknown command: CAPA\r\n";
    if (step == "auth") {
        if (verb == "USER" && words.size() == 2) {
            socket->setProperty("user", words.at(1));
            return "+OK\r\n";
        }
        if (verb == "PASS" && socket->property("user").toByteArray() == user &&
            command.mid(5) == password) {
            socket->setProperty("step", QByteArray("transaction"));
            return "+OK Logged in.\r\n";
        }
        return "-ERR [AUTH] Authentication failed.\r\n";
    }
    if (verb == "STAT" && words.size() == 1) {
        qsizetype size = 0;
        for (const QByteArray &m : messages)
            size += m.size();
        return "+OK " + QByteArray::number(messages.size()) + ' ' + QByteArray::number(size) +
               "\r\n";
    }
    if (verb == "TOP" && words.size() == 3 && words.at(2) == "1") {
        bool ok = false;
        const int n = words.at(1).toInt(&ok);
        if (!ok || n < 1 || n > messages.size())
            return "-ERR There's no message " + words.at(1) + ".\r\n";
        return "+OK\r\n" + topReplyBody(messages.at(n - 1));
    }
    return "-ERR Unknown command: " + verb + "\r\n";
}

} // namespace ringlark::test
