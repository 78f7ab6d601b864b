#include "live_session.h"
#include "recording_server.h"

#include <QTest>

#include <memory>

using namespace ringlark;
using namespace ringlark::test;

namespace {

// A session whose user clicks every box away at once: each error signal the session gets
// then shows a box of its own, instead of hiding behind one still open.
struct Rig : LiveSession
{
    explicit Rig(quint16 port)
        : LiveSession(QStringLiteral("pop3s://localhost:") + QString::number(port))
    {
        box.closesAtOnce = true;
    }
};

} // namespace

// The client's side of a TLS connection to peers that are not TLS servers, or that break
// off the handshake: what the client put on the wire, and how the session ends.
class TestTlsWire : public QObject
{
    Q_OBJECT
private slots:
    void noCredentialsBeforeHandshake_data();
    void noCredentialsBeforeHandshake();
    void resetDuringHandshake_data();
    void resetDuringHandshake();
};

void TestTlsWire::noCredentialsBeforeHandshake_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("boxes");
    QTest::newRow("plain POP3 greeting") << QByteArray("+OK POP3 server ready.\r\n") << 1;
    // A whole POP3 dialogue's worth of positive answers, in case one were taken as read.
    QTest::newRow("plain answers to everything")
        << QByteArray("+OK ready\r\n+OK\r\n+OK Logged in.\r\n+OK 1 100\r\n") << 1;
    // A TLS alert record: "handshake failure", fatal.
    QTest::newRow("handshake refused") << QByteArray("\x15\x03\x03\x00\x02\x02\x28", 7) << 1;
    QTest::newRow("silent") << QByteArray() << 0;
}

void TestTlsWire::noCredentialsBeforeHandshake()
{
    QFETCH(QByteArray, reply);
    QFETCH(int, boxes);
    if (reply.startsWith('+') && underWine())
        QSKIP(kWineWaitsForPlainRecord);
    RecordingServer server(reply.isEmpty() ? RecordingServer::Mode::Silent
                                           : RecordingServer::Mode::Send);
    server.reply = reply;
    QVERIFY(server.listen());
    Rig rig(server.port());
    rig.start(TriggerFlag::Stop);
    QVERIFY(rig.waitForEnd(
        [&] { return rig.box.shown.size() >= boxes && server.fromClient.size() > 0; }));
    QCOMPARE(rig.box.shown.size(), boxes);
    if (boxes > 0)
        QVERIFY2(rig.box.shown[0].text.startsWith(QStringLiteral("ERR(13;")),
                 qPrintable(rig.box.shown[0].text));
    QCOMPARE(rig.report.results(), QStringLiteral("メールサーバーが応答しません"));
    QVERIFY(rig.report.traffic().text().isEmpty());
    QCOMPARE(rig.values.TriggerFlag, TriggerFlag::Stop);

    // The client spoke TLS from its first byte: a handshake record, and nothing of POP3.
    QCOMPARE(server.connections, 1);
    QVERIFY2(server.fromClient.startsWith("\x16\x03"),
             server.fromClient.left(16).toHex().constData());
    for (const QByteArray plain : {"USER", "PASS", "QUIT"})
        QVERIFY2(!server.fromClient.contains(plain), plain.constData());
    QVERIFY(!server.fromClient.contains(kLivePassword.toUtf8()));
}

void TestTlsWire::resetDuringHandshake_data()
{
    QTest::addColumn<int>("mode");
    QTest::newRow("closed at once") << int(RecordingServer::Mode::CloseAtOnce);
    // Linux lets Qt's pending connect() start over on a reset socket, so against this server
    // the client reconnects until the watchdog ends it: bounded, and with no box.
    QTest::newRow("reset at once") << int(RecordingServer::Mode::AbortAtOnce);
    QTest::newRow("reset after the client hello") << int(RecordingServer::Mode::AbortAfterHello);
}

void TestTlsWire::resetDuringHandshake()
{
    QFETCH(int, mode);
    RecordingServer server(static_cast<RecordingServer::Mode>(mode));
    QVERIFY(server.listen());
    Rig rig(server.port());
    // The peer has had its say once it took a connection, and the hello where it waits for it.
    const auto peerDone = [&] {
        return server.connections > 0 && (mode != int(RecordingServer::Mode::AbortAfterHello) ||
                                          !server.fromClient.isEmpty());
    };
    rig.start(TriggerFlag::Stop);
    QVERIFY(rig.waitForEnd(peerDone));
    QVERIFY(!rig.session.watchdogActive());
    QVERIFY2(rig.box.shown.size() <= 1, qPrintable(rig.box.texts().join(u'\n')));
    QVERIFY(rig.report.traffic().text().isEmpty());
    QCOMPARE(rig.values.TriggerFlag, TriggerFlag::Stop);
    QVERIFY(!server.fromClient.contains("USER"));

    // The next session starts cleanly on the same socket.
    const int before = server.connections;
    rig.start(TriggerFlag::Stop);
    QVERIFY(rig.waitForEnd([&] { return server.connections > before; }));
    QVERIFY(rig.box.shown.size() <= 2);
}

QTEST_GUILESS_MAIN(TestTlsWire)
#include "tst_tls_wire.moc"
