#include "dovecot_fixture.h"
#include "live_session.h"
#include "log_capture.h"
#include "recording_server.h"
#include "sample_mails.h"
#include "tls_certificates.h"

#include <QTest>

#include <memory>

using namespace ringlark;
using namespace ringlark::test;

namespace {

// A wide bound for a loaded CI machine to finish a handshake.
constexpr int kEndBoundMs = 20000;

const QString kWatchdogText = QStringLiteral("メールサーバーが応答しません");

// Dovecot's log arrives on its own time; waiting for a session's login line keeps it out of
// the next test's share of the log.
qsizetype logins(const DovecotFixture &dovecot)
{
    return dovecot.log().count(QStringLiteral("Login: user=<ringlark>"));
}

QString tlsServer(quint16 port, const QString &host = QStringLiteral("localhost"))
{
    return QStringLiteral("pop3s://") + host + u':' + QString::number(port);
}

} // namespace

// POP3 over TLS against a real Dovecot whose certificates the test made.
class TestTlsDovecot : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void trustedCertificateFindsTriggerEncrypted();
    void plainSessionIsReadableOnTheWire();
    void rejectedCertificateShowsOneBoxAndEndsAtOnce_data();
    void rejectedCertificateShowsOneBoxAndEndsAtOnce();
    void plainServerOnTlsPortEndsInBounds();

private:
    std::unique_ptr<DovecotFixture> startDovecot(const TlsCertificates::ServerCert &cert);

    TlsCertificates m_pki;
    std::unique_ptr<DovecotFixture> m_good;      // localhost, signed by the trusted CA
    std::unique_ptr<DovecotFixture> m_untrusted; // localhost, signed by the other CA
    std::unique_ptr<DovecotFixture> m_otherHost; // another host name, trusted CA
};

std::unique_ptr<DovecotFixture>
TestTlsDovecot::startDovecot(const TlsCertificates::ServerCert &cert)
{
    DovecotFixture::Options options;
    options.sslCert = cert.certFile;
    options.sslKey = cert.keyFile;
    options.password = kLivePassword;
    auto dovecot = std::make_unique<DovecotFixture>(options);
    if (!dovecot->start()) {
        qWarning().noquote() << dovecot->errorText();
        return nullptr;
    }
    return dovecot;
}

void TestTlsDovecot::initTestCase()
{
    if (!DovecotFixture::installed())
        QSKIP("dovecot is not installed (scripts/test installs it)");
    QVERIFY2(m_pki.make(), qPrintable(m_pki.errorText()));
    QVERIFY(!m_pki.trustedCa().isEmpty());
    m_good = startDovecot(m_pki.localhost());
    m_untrusted = startDovecot(m_pki.untrustedLocalhost());
    m_otherHost = startDovecot(m_pki.otherHost());
    QVERIFY(m_good && m_untrusted && m_otherHost);
    QVERIFY(m_good->tlsPort() != 0);

    // The newsletter, the trigger mail and the signed newer mail.
    for (const MailSpec &mailSpec : everydayMailbox().mid(0, 3))
        QVERIFY(m_good->addMail(realisticMail(mailSpec)));
}

void TestTlsDovecot::trustedCertificateFindsTriggerEncrypted()
{
    // Through a relay that records the wire, so that the test sees what an eavesdropper sees.
    RecordingServer wire(RecordingServer::Mode::Relay);
    wire.relayPort = m_good->tlsPort();
    QVERIFY(wire.listen());
    const qsizetype loginsBefore = logins(*m_good);
    LiveSession rig(tlsServer(wire.port()), m_pki.trustedCa());
    LogCapture capture("ringlark.pop3");
    rig.start();
    QTRY_VERIFY_WITH_TIMEOUT(!rig.session.isRunning(), 15000);

    const QString traffic = rig.report.traffic().text();
    QVERIFY2(rig.box.shown.isEmpty(), qPrintable(rig.box.texts().join(u'\n')));
    QVERIFY2(traffic.startsWith(QStringLiteral("+OK")), qPrintable(traffic.left(200)));
    QVERIFY(!traffic.contains(QStringLiteral("-ERR")));
    QCOMPARE(rig.values.SessionStep, SessionStep::Quit);
    QCOMPARE(rig.values.TriggerFlag, TriggerFlag::Start);
    QCOMPARE(rig.values.TriggerMailDate.value, QDateTime(QDate(2004, 9, 25), QTime(9, 0), Qt::UTC));
    QVERIFY(capture.joined().contains(QStringLiteral("C: PASS ****")));
    QTRY_COMPARE(logins(*m_good), loginsBefore + 1);

    // What crossed the wire was TLS from the first byte (a handshake record), and neither
    // the commands nor the password can be read in it.
    QVERIFY(wire.fromClient.startsWith("\x16\x03"));
    for (const QByteArray plain : {"USER", "PASS", "STAT", "TOP "})
        QVERIFY2(!wire.fromClient.contains(plain), plain.constData());
    QVERIFY(!wire.fromClient.contains(kLivePassword.toUtf8()));
    QVERIFY(!wire.toClient.contains("+OK"));
}

void TestTlsDovecot::plainSessionIsReadableOnTheWire()
{
    // The same relay on the plain port sees the dialogue: the check above can fail.
    RecordingServer wire(RecordingServer::Mode::Relay);
    wire.relayPort = m_good->port();
    QVERIFY(wire.listen());
    const qsizetype loginsBefore = logins(*m_good);
    LiveSession rig(QStringLiteral("127.0.0.1:") + QString::number(wire.port()));
    rig.start();
    QTRY_VERIFY_WITH_TIMEOUT(!rig.session.isRunning(), 15000);
    QCOMPARE(rig.values.TriggerFlag, TriggerFlag::Start);
    QVERIFY(wire.fromClient.contains("PASS " + kLivePassword.toUtf8() + "\r\n"));
    QTRY_COMPARE(logins(*m_good), loginsBefore + 1);
}

void TestTlsDovecot::rejectedCertificateShowsOneBoxAndEndsAtOnce_data()
{
    QTest::addColumn<int>("which"); // 0 good, 1 untrusted, 2 other host
    QTest::addColumn<QString>("host");
    QTest::addColumn<bool>("trustTestCa");
    QTest::addColumn<QString>("problem"); // a part of Qt's text that names the problem

    const QString untrusted = QStringLiteral("issuer certificate");
    const QString mismatch = QStringLiteral("host name did not match");
    QTest::newRow("signed by an authority nobody trusts")
        << 1 << QStringLiteral("localhost") << true << untrusted;
    QTest::newRow("trusted authority, but only through the system store")
        << 0 << QStringLiteral("localhost") << false << untrusted;
    QTest::newRow("certificate for another host")
        << 2 << QStringLiteral("localhost") << true << mismatch;
    QTest::newRow("certificate for localhost, address typed")
        << 0 << QStringLiteral("127.0.0.1") << true << mismatch;
}

void TestTlsDovecot::rejectedCertificateShowsOneBoxAndEndsAtOnce()
{
    QFETCH(int, which);
    QFETCH(QString, host);
    QFETCH(bool, trustTestCa);
    QFETCH(QString, problem);
    DovecotFixture *dovecot = which == 0   ? m_good.get()
                              : which == 1 ? m_untrusted.get()
                                           : m_otherHost.get();
    const qsizetype loggedBefore = dovecot->log().size();
    LiveSession rig(tlsServer(dovecot->tlsPort(), host),
                    trustTestCa ? m_pki.trustedCa() : QList<QSslCertificate>());
    rig.start(TriggerFlag::Stop);

    QTRY_COMPARE_WITH_TIMEOUT(rig.box.shown.size(), 1, kEndBoundMs);
    const QString text = rig.box.shown[0].text;
    QVERIFY2(text.startsWith(QStringLiteral("ERR(")), qPrintable(text));
    QVERIFY2(text.contains(problem, Qt::CaseInsensitive), qPrintable(text));
    // Nothing more comes over that connection: the session ends with the box, as the
    // watchdog would have ended it.
    QCOMPARE(rig.values.SessionStep, SessionStep::Quit);
    QVERIFY(rig.report.traffic().text().isEmpty());
    // The user clicks OK at once: a second error from the same connection would now show.
    rig.box.closeAll();

    QVERIFY(!rig.watchdog().fire()); // the error ended it
    QCOMPARE(rig.values.SessionStep, SessionStep::Quit);
    QCOMPARE(rig.report.results(), kWatchdogText);
    QVERIFY(!rig.session.isRunning());
    QCOMPARE(rig.box.shown.size(), 1);
    QCOMPARE(rig.values.TriggerFlag, TriggerFlag::Stop);
    QCOMPARE(rig.values.TriggerMailDate.kind, MailDate::Kind::None);

    // Dovecot saw the handshake fail and never a login attempt.
    QTRY_VERIFY_WITH_TIMEOUT(
        dovecot->log().mid(loggedBefore).contains(QStringLiteral("no auth attempts")), kEndBoundMs);
    QVERIFY2(!dovecot->log().mid(loggedBefore).contains(QStringLiteral("Login:")),
             qPrintable(dovecot->log().mid(loggedBefore)));
}

void TestTlsDovecot::plainServerOnTlsPortEndsInBounds()
{
    const qsizetype loggedBefore = m_good->log().size();
    LiveSession rig(tlsServer(m_good->port()), m_pki.trustedCa());
    rig.start(TriggerFlag::Stop);

    QTRY_COMPARE_WITH_TIMEOUT(rig.box.shown.size(), 1, kEndBoundMs);
    // Qt's text says the TLS handshake failed, and why.
    QVERIFY2(rig.box.shown[0].text.startsWith(QStringLiteral("ERR(13;")) &&
                 rig.box.shown[0].text.contains(QStringLiteral("handshake")),
             qPrintable(rig.box.shown[0].text));
    // Dovecot's plain greeting was never taken for the server's answer.
    QVERIFY(rig.report.traffic().text().isEmpty());
    rig.box.closeAll();
    QVERIFY(!rig.watchdog().fire()); // the error ended it
    QCOMPARE(rig.values.SessionStep, SessionStep::Quit);
    QCOMPARE(rig.report.results(), kWatchdogText);
    QCOMPARE(rig.box.shown.size(), 1);
    QCOMPARE(rig.values.TriggerFlag, TriggerFlag::Stop);
    QTRY_VERIFY_WITH_TIMEOUT(
        m_good->log().mid(loggedBefore).contains(QStringLiteral("no auth attempts")), kEndBoundMs);
}

QTEST_GUILESS_MAIN(TestTlsDovecot)
#include "tst_tls_dovecot.moc"
