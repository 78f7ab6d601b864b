#include "message_box.h"
#include "pop3_session.h"
#include "qt_tcp_socket.h"
#include "recording_server.h"
#include "session_report.h"
#include "session_settings.h"
#include "session_values.h"
#include "settings_table.h"

#include <QTest>
#include <QTimer>

#include <memory>

using namespace ringlark;
using namespace ringlark::test;

namespace {

constexpr int kShortWatchdogMs = 1500;
constexpr int kEndBoundMs =
    kShortWatchdogMs + Pop3Session::kGraceTurns * Pop3Session::kGraceMs + 5000;

// A user who clicks every box away at once: each error signal the session gets then shows
// a box of its own, instead of hiding behind one still open.
class QuickUserBox final : public MessageBox
{
public:
    void exec(const QString &text, Icon) override { shown.append(text); }
    void open(const QString &text, Icon, std::function<void()> onClosed) override
    {
        shown.append(text);
        if (onClosed)
            QTimer::singleShot(0, &m_context, std::move(onClosed));
    }
    QStringList shown;

private:
    QObject m_context;
};

struct Rig
{
    explicit Rig(quint16 port)
        : session(
              values, [this] { return sessionSettings(settings); }, std::make_unique<QtTcpSocket>(),
              box, kShortWatchdogMs)
    {
        settings.Pop3Server = QStringLiteral("pop3s://localhost:") + QString::number(port);
        settings.UserName = QStringLiteral("ringlark");
        settings.Password = QStringLiteral("secret");
        values.TriggerFlag = TriggerFlag::Stop;
    }
    void start()
    {
        values.SessionStep = SessionStep::None;
        session.Command1_Click();
    }
    SessionValues values;
    SettingsTable settings;
    QuickUserBox box;
    Pop3Session session;
    SessionReport report{session};
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
    RecordingServer server(reply.isEmpty() ? RecordingServer::Mode::Silent
                                           : RecordingServer::Mode::Send);
    server.reply = reply;
    QVERIFY(server.listen());
    Rig rig(server.port());
    rig.start();
    QTRY_COMPARE_WITH_TIMEOUT(rig.values.SessionStep, SessionStep::Quit, kEndBoundMs);
    QCOMPARE(rig.box.shown.size(), boxes);
    if (boxes > 0)
        QVERIFY2(rig.box.shown[0].startsWith(QStringLiteral("ERR(13;")),
                 qPrintable(rig.box.shown[0]));
    QCOMPARE(rig.report.results(), QStringLiteral("メールサーバーが応答しません"));
    QVERIFY(rig.report.traffic().text().isEmpty());
    QCOMPARE(rig.values.TriggerFlag, TriggerFlag::Stop);

    // The client spoke TLS from its first byte: a handshake record, and nothing of POP3.
    QCOMPARE(server.connections, 1);
    QVERIFY2(server.fromClient.startsWith("\x16\x03"),
             server.fromClient.left(16).toHex().constData());
    for (const char *plain : {"USER", "PASS", "secret", "QUIT"})
        QVERIFY2(!server.fromClient.contains(plain), plain);
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
    rig.start();
    QTRY_COMPARE_WITH_TIMEOUT(rig.values.SessionStep, SessionStep::Quit, kEndBoundMs);
    QTRY_VERIFY(!rig.session.isRunning());
    QVERIFY(!rig.session.watchdogActive());
    QVERIFY2(rig.box.shown.size() <= 1, qPrintable(rig.box.shown.join(u'\n')));
    QVERIFY(rig.report.traffic().text().isEmpty());
    QCOMPARE(rig.values.TriggerFlag, TriggerFlag::Stop);
    QVERIFY(!server.fromClient.contains("USER"));

    // The next session starts cleanly on the same socket.
    rig.start();
    QTRY_COMPARE_WITH_TIMEOUT(rig.values.SessionStep, SessionStep::Quit, kEndBoundMs);
    QVERIFY(rig.box.shown.size() <= 2);
}

QTEST_GUILESS_MAIN(TestTlsWire)
#include "tst_tls_wire.moc"
