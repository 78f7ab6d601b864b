#include "live_session.h"
#include "pop3_errors.h"
#include "scripted_pop3_server.h"

#include <QFile>
#include <QTcpServer>
#include <QTest>

using namespace ringlark;
using namespace ringlark::test;

// The session over the real socket: how Qt's socket events reach it.
class TestPop3Socket : public QObject
{
    Q_OBJECT
private slots:
    void refusedConnectionShowsOneBoxAndEndsAtOnce();
    void serverDropInMiddleIsNoSocketError();
    // Before any TLS session of this process.
    void plainSessionLeavesTlsUnloaded();
    void plainServerOnTlsPortNeverGetsCredentials();
};

void TestPop3Socket::refusedConnectionShowsOneBoxAndEndsAtOnce()
{
    quint16 port = 0;
    {
        QTcpServer closed; // a port that nobody listens on any more
        QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
        port = closed.serverPort();
    }
    LiveSession rig(QStringLiteral("127.0.0.1:") + QString::number(port));
    rig.start();
    QTRY_COMPARE(rig.box.shown.size(), 1);
    QCOMPARE(rig.box.shown[0].text, QStringLiteral("ERR(0;Connection refused)"));
    QCOMPARE(rig.values.SessionStep, SessionStep::Quit); // with the box, not 300 ms later
    QCOMPARE(rig.report.results(), QStringLiteral("メールサーバーが応答しません"));

    rig.start(); // the box is still open: no second one
    QVERIFY(rig.waitForEnd());
    QCOMPARE(rig.box.shown.size(), 1);
}

void TestPop3Socket::serverDropInMiddleIsNoSocketError()
{
    ScriptedPop3Server server;
    QVERIFY(server.listen());
    server.password = kLivePassword.toUtf8();
    server.answerOverride = [&server](const QByteArray &c) -> std::optional<QByteArray> {
        if (!c.startsWith("PASS"))
            return std::nullopt;
        server.dropAll();
        return QByteArray();
    };
    LiveSession rig(server.address());
    rig.start();
    QTRY_COMPARE(rig.values.SessionStep, SessionStep::Quit);
    QCOMPARE(rig.report.results(), errorReport(Pop3Error::ConnectionLost));
    QVERIFY(rig.box.shown.isEmpty());
    QVERIFY(!rig.session.isRunning());
    QVERIFY(!rig.session.watchdogActive());

    // After QUIT the server's close is the normal end: nothing to report.
    server.answerOverride = {};
    server.messages.clear();
    rig.start();
    QTRY_VERIFY(!rig.session.isRunning());
    QCOMPARE(server.commands.last(), QByteArray("QUIT"));
    QVERIFY(rig.report.results().isEmpty());
    QVERIFY(rig.box.shown.isEmpty());
}

void TestPop3Socket::plainSessionLeavesTlsUnloaded()
{
#ifdef Q_OS_LINUX
    ScriptedPop3Server server;
    QVERIFY(server.listen());
    server.password = kLivePassword.toUtf8();
    LiveSession rig(server.address());
    rig.start();
    QTRY_VERIFY(rig.ended());
    QCOMPARE(server.commands.last(), QByteArray("QUIT"));
    // Nothing this binary links maps the TLS library at start (the core's libcurl would).
    QFile maps(QStringLiteral("/proc/self/maps"));
    QVERIFY(maps.open(QIODevice::ReadOnly));
    const QByteArray mapped = maps.readAll();
    QVERIFY2(!mapped.contains("libssl") && !mapped.contains("libcrypto"),
             "a plain-text session loaded the TLS library");
#endif
}

void TestPop3Socket::plainServerOnTlsPortNeverGetsCredentials()
{
    if (underWine())
        QSKIP(kWineWaitsForPlainRecord);
    ScriptedPop3Server server;
    QVERIFY(server.listen());
    LiveSession rig(QStringLiteral("pop3s://127.0.0.1:") + QString::number(server.port()));
    rig.start();
    QTRY_COMPARE(rig.box.shown.size(), 1);
    QVERIFY2(rig.box.shown[0].text.startsWith(QStringLiteral("ERR(")),
             qPrintable(rig.box.shown[0].text));
    QVERIFY(!rig.watchdog().fire()); // the error ended it
    QCOMPARE(rig.values.SessionStep, SessionStep::Quit);
    for (const QByteArray &c : std::as_const(server.commands)) {
        QVERIFY(!c.contains("USER"));
        QVERIFY(!c.contains(kLivePassword.toUtf8()));
    }
}

QTEST_GUILESS_MAIN(TestPop3Socket)
#include "tst_pop3_socket.moc"
