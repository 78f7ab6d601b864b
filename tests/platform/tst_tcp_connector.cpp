// The real socket's own connect: no reconnect storm against a server that resets every
// connection at once, and every failure reported once.
#include "qt_tcp_socket.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>

#include <sys/socket.h>

using namespace ringlark;

namespace {
// Accepts and resets every connection at once (RST, not FIN).
struct ResettingServer
{
    ResettingServer()
    {
        server.listen(QHostAddress::LocalHost);
        QObject::connect(&server, &QTcpServer::newConnection, &server, [this] {
            while (QTcpSocket *s = server.nextPendingConnection()) {
                ++accepted;
                linger l{1, 0};
                ::setsockopt(static_cast<int>(s->socketDescriptor()), SOL_SOCKET, SO_LINGER, &l,
                             sizeof l);
                s->abort();
                s->deleteLater();
            }
        });
    }
    QTcpServer server;
    int accepted = 0;
};

// A port on this machine that nothing listens on.
quint16 closedPort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost);
    return server.serverPort();
}

// Whatever the system still had to report on connections to this port has been delivered
// once another socket's attempt there has ended: the wait is on the peer, not the clock.
// (A plain QTcpSocket would not do: against a reset at accept it connects again and again.)
bool settled(quint16 port)
{
    QtTcpSocket probe;
    QSignalSpy errors(&probe, &TcpSocket::errorOccurred);
    QSignalSpy closes(&probe, &TcpSocket::remoteClosed);
    probe.connectToServer(QStringLiteral("127.0.0.1"), port, false);
    return QTest::qWaitFor([&] { return errors.size() + closes.size() > 0; }, 10000);
}
} // namespace

class TestTcpConnector : public QObject
{
    Q_OBJECT
private slots:
    void a_reset_at_accept_is_one_error_not_a_reconnect_storm_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<bool>("tls");
        QTest::newRow("address, plain") << QStringLiteral("127.0.0.1") << false;
        QTest::newRow("name, plain") << QStringLiteral("localhost") << false;
        QTest::newRow("name, TLS") << QStringLiteral("localhost") << true;
    }
    void a_reset_at_accept_is_one_error_not_a_reconnect_storm()
    {
        QFETCH(QString, host);
        QFETCH(bool, tls);
        ResettingServer server;
        QtTcpSocket socket;
        QSignalSpy errors(&socket, &TcpSocket::errorOccurred);
        QSignalSpy closes(&socket, &TcpSocket::remoteClosed);
        socket.connectToServer(host, server.server.serverPort(), tls);
        QTRY_COMPARE(errors.size() + closes.size(), 1);
        QVERIFY(settled(server.server.serverPort())); // the server resets the probe too
        QCOMPARE(server.accepted, 2);
        QCOMPARE(errors.size() + closes.size(), 1);
        QVERIFY(socket.isClosed());
    }

    void failures_before_a_connection_are_reported_once_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("code");
        QTest::newRow("refused") << QStringLiteral("127.0.0.1")
                                 << int(QAbstractSocket::ConnectionRefusedError);
        QTest::newRow("no such host")
            << QStringLiteral("no-such-host.invalid") << int(QAbstractSocket::HostNotFoundError);
    }
    void failures_before_a_connection_are_reported_once()
    {
        QFETCH(QString, host);
        QFETCH(int, code);
        const quint16 port = closedPort();
        QtTcpSocket socket;
        QSignalSpy errors(&socket, &TcpSocket::errorOccurred);
        socket.connectToServer(host, port, false);
        QVERIFY(!socket.isClosed()); // connecting is not closed
        QTRY_COMPARE_WITH_TIMEOUT(errors.size(), 1, 10000);
        QCOMPARE(errors.first().first().toInt(), code);
        QVERIFY(!errors.first().at(1).toString().isEmpty());
    }

    void closing_while_connecting_reports_nothing()
    {
        const quint16 port = closedPort();
        QtTcpSocket socket;
        QSignalSpy errors(&socket, &TcpSocket::errorOccurred);
        socket.connectToServer(QStringLiteral("127.0.0.1"), port, false);
        socket.close();
        QVERIFY(settled(port)); // refused, as the closed socket's attempt would have been
        QCOMPARE(errors.size(), 0);
        QVERIFY(socket.isClosed());
    }
};

QTEST_GUILESS_MAIN(TestTcpConnector)
#include "tst_tcp_connector.moc"
