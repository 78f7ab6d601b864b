#include "hostile_peer.h"
#include "live_session.h"
#include "sample_mails.h"
#include "scripted_pop3_server.h"
#include "tls_certificates.h"

#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

using namespace ringlark;
using namespace ringlark::test;

namespace {

} // namespace

// TLS peers that fail the session on purpose. Whatever fails, the session ends, shows at
// most one box, never sends a credential, and the next tick works against a good server.
class TestHostileTls : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void resetDuringHandshake_data();
    void resetDuringHandshake();
    void certificateForAnotherHost();

private:
    // The check cycle's next tick, against a plain server that behaves: the trigger is found.
    void nextTickWorks(LiveSession &rig);

    TlsCertificates m_certs;
    QSslCertificate m_otherHostCert;
    QSslKey m_otherHostKey;
};

void TestHostileTls::initTestCase()
{
    QVERIFY(QSslSocket::supportsSsl());
    QVERIFY2(m_certs.make(), qPrintable(m_certs.errorText()));
    const QString cert = m_certs.otherHost().certFile, key = m_certs.otherHost().keyFile;
    const QList<QSslCertificate> certs = QSslCertificate::fromPath(cert);
    QCOMPARE(certs.size(), 1);
    m_otherHostCert = certs.first();
    QFile keyFile(key);
    QVERIFY(keyFile.open(QIODevice::ReadOnly));
    m_otherHostKey = QSslKey(keyFile.readAll(), QSsl::Ec);
    QVERIFY(!m_otherHostKey.isNull());
}

void TestHostileTls::nextTickWorks(LiveSession &rig)
{
    ScriptedPop3Server good;
    QVERIFY(good.listen());
    good.user = "ringlark";
    good.password = kLivePassword.toUtf8();
    good.messages = mailboxWithTrigger();
    const qsizetype boxes = rig.box.shown.size();
    rig.settings.account.server = good.address();
    rig.start();
    QTRY_VERIFY_WITH_TIMEOUT(rig.values.SessionStep == SessionStep::Quit, 10000);
    QCOMPARE(rig.values.TriggerFlag, TriggerFlag::Start);
    QCOMPARE(rig.box.shown.size(), boxes);
    QTRY_VERIFY(!rig.session.isRunning());
}

void TestHostileTls::resetDuringHandshake_data()
{
    QTest::addColumn<bool>("afterClientHello");
    QTest::newRow("reset on accept") << false;
    QTest::newRow("reset on the client's hello") << true;
}

void TestHostileTls::resetDuringHandshake()
{
    QFETCH(bool, afterClientHello);
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    QByteArray received;
    int accepted = 0;
    connect(&server, &QTcpServer::newConnection, this, [&] {
        while (QTcpSocket *s = server.nextPendingConnection()) {
            ++accepted;
            if (!afterClientHello) {
                resetConnection(s);
                continue;
            }
            connect(s, &QTcpSocket::readyRead, s, [s, &received] {
                received += s->readAll();
                resetConnection(s);
            });
        }
    });

    LiveSession rig(QStringLiteral("pop3s://127.0.0.1:") + QString::number(server.serverPort()));
    rig.start();
    // The peer has had its say once it took the connection (and the hello, where it waits for
    // it). Linux reports the reset at once; under Wine the session waits: the watchdog ends it.
    QVERIFY(
        rig.waitForEnd([&] { return accepted > 0 && (!afterClientHello || !received.isEmpty()); }));
    QVERIFY(!rig.session.watchdogActive());
    QVERIFY(rig.box.shown.size() <= 1);
    for (const auto &box : std::as_const(rig.box.shown))
        QVERIFY(!box.text.contains(kLivePassword));
    QVERIFY(!rig.report.results().contains(kLivePassword));
    if (afterClientHello) {
        QVERIFY(!received.isEmpty());
        QVERIFY(!received.contains("USER"));
    }
    nextTickWorks(rig);
}

void TestHostileTls::certificateForAnotherHost()
{
    if (underWine())
        QSKIP("this test's own TLS server runs on Wine's schannel, which cannot load its key");
    QSslServer server;
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    config.setLocalCertificate(m_otherHostCert);
    config.setPrivateKey(m_otherHostKey);
    config.setPeerVerifyMode(QSslSocket::VerifyNone);
    server.setSslConfiguration(config);
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    int handshakes = 0;
    connect(&server, &QSslServer::startedEncryptionHandshake, this, [&] { ++handshakes; });

    // The certificate's authority is trusted: only its name is wrong.
    LiveSession rig(QStringLiteral("pop3s://127.0.0.1:") + QString::number(server.serverPort()),
                    m_certs.trustedCa());
    rig.start();
    QTRY_COMPARE_WITH_TIMEOUT(rig.box.shown.size(), 1, 10000);
    const QString text = rig.box.shown.first().text;
    QVERIFY2(text.startsWith(QStringLiteral("ERR(")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("host name"), Qt::CaseInsensitive), qPrintable(text));
    QVERIFY(!text.contains(kLivePassword));
    QTRY_VERIFY_WITH_TIMEOUT(rig.ended(), 20000);
    QCOMPARE(rig.box.shown.size(), 1);
    QCOMPARE(handshakes, 1);
    // The server may take its side of the handshake as done before the client's alert
    // (TLS 1.3); nothing was ever sent over it.
    if (QTcpSocket *accepted = server.nextPendingConnection())
        QTRY_VERIFY(accepted->state() != QAbstractSocket::ConnectedState ||
                    !accepted->bytesAvailable());
    QVERIFY(!rig.report.results().contains(kLivePassword));
    nextTickWorks(rig);
}

QTEST_GUILESS_MAIN(TestHostileTls)
#include "tst_hostile_tls.moc"
