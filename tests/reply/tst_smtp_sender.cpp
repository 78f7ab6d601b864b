// Replies go through libcurl to a real SMTP server (aiosmtpd): STARTTLS and TLS with the
// certificate checked, AUTH where offered and none where not, and the server's own words
// when it refuses.
#include "curl_smtp_sender.h"
#include "reply_mail.h"
#include "smtp_fixture.h"
#include "smtp_server.h"
#include "tls_certificates.h"

#include <QSignalSpy>
#include <QTest>

using namespace ringlark;
using namespace ringlark::test;

class TestSmtpSender : public QObject
{
    Q_OBJECT
    TlsCertificates m_certs;

private slots:
    void initTestCase() { QVERIFY2(m_certs.make(), qPrintable(m_certs.errorText())); }

    void serverSetting_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("url"); // empty: refused
        QTest::addColumn<bool>("startTlsRequired");
        QTest::newRow("remote smtp") << "smtp://mail.example.com"
                                     << "smtp://mail.example.com:587" << true;
        QTest::newRow("remote smtps") << " SMTPS://mail.example.com:2465/ "
                                      << "smtps://mail.example.com:2465" << false;
        QTest::newRow("loopback v4") << "smtp://127.0.0.1:2525"
                                     << "smtp://127.0.0.1:2525" << false;
        QTest::newRow("loopback v6") << "smtp://[::1]"
                                     << "smtp://[::1]:587" << false;
        QTest::newRow("localhost") << "smtp://localhost"
                                   << "smtp://localhost:587" << false;
        QTest::newRow("no scheme") << "mail.example.com"
                                   << "" << false;
        QTest::newRow("other scheme") << "pop3s://mail.example.com"
                                      << "" << false;
        QTest::newRow("port 0") << "smtp://mail.example.com:0"
                                << "" << false;
    }
    void serverSetting()
    {
        QFETCH(QString, text);
        QFETCH(QString, url);
        const std::optional<SmtpServer> server = parseSmtpServer(text);
        QCOMPARE(server ? server->url() : QString(), url);
        if (server)
            QTEST(server->startTlsRequired, "startTlsRequired");
    }

    // What comes from the trigger mail goes into headers and the envelope only when it
    // cannot carry a line break or a second address.
    void mailTextsFromTheTrigger_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("address"); // empty: refused
        QTest::addColumn<QString>("messageId");
        QTest::addColumn<QString>("id"); // empty: refused
        QTest::newRow("plain") << " owner@example.com "
                               << "owner@example.com"
                               << " <CAF=x+1@mail.example.jp> (comment)"
                               << "<CAF=x+1@mail.example.jp>";
        QTest::newRow("line break") << "a@b\r\nBcc: c@d"
                                    << ""
                                    << "<a\r\n@b>"
                                    << "";
        QTest::newRow("brackets and lists") << "<a@b>"
                                            << ""
                                            << "no id here"
                                            << "";
        QTest::newRow("two addresses") << "a@b,c@d"
                                       << ""
                                       << "<a@b@c>"
                                       << "";
        QTest::newRow("not ASCII") << "太郎@example.jp"
                                   << ""
                                   << "<ａ@b>"
                                   << "";
    }
    void mailTextsFromTheTrigger()
    {
        QFETCH(QString, from);
        QFETCH(QString, messageId);
        QTEST(mailboxAddress(from).value_or(QString()), "address");
        QTEST(messageIdOf(messageId).value_or(QString()), "id");
    }

    void sendsThroughRealServer_data()
    {
        QTest::addColumn<QString>("scheme");
        QTest::addColumn<bool>("tls");      // smtps
        QTest::addColumn<bool>("startTls"); // STARTTLS offered
        QTest::addColumn<bool>("serverAuth");
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("trusted");
        QTest::addColumn<QString>("failure"); // empty: delivered
        QTest::newRow("starttls, then auth")
            << "smtp" << false << true << true << "pw" << true << "";
        QTest::newRow("smtps with auth") << "smtps" << true << false << true << "pw" << true << "";
        QTest::newRow("no auth offered") << "smtp" << false << false << false << "pw" << true << "";
        QTest::newRow("wrong password")
            << "smtp" << false << true << true << "bad" << true << "535";
        QTest::newRow("untrusted certificate")
            << "smtps" << true << false << true << "pw" << false << "SSL";
    }
    void sendsThroughRealServer()
    {
        QFETCH(QString, scheme);
        QFETCH(bool, tls);
        QFETCH(bool, startTls);
        QFETCH(bool, serverAuth);
        QFETCH(QString, password);
        QFETCH(bool, trusted);
        QFETCH(QString, failure);
        const TlsCertificates::ServerCert cert =
            trusted ? m_certs.localhost() : m_certs.untrustedLocalhost();
        SmtpFixture::Options options;
        if (serverAuth) {
            options.user = QStringLiteral("owner");
            options.password = QStringLiteral("pw");
            options.authRequiresTls = startTls;
        }
        if (tls || startTls) {
            options.certFile = cert.certFile;
            options.keyFile = cert.keyFile;
        }
        options.tls = tls;
        SmtpFixture server(options);
        QVERIFY2(server.start(), qPrintable(server.errorText()));

        CurlSmtpSender sender;
        sender.setCaFile(m_certs.trustedCaFile());
        QSignalSpy done(&sender, &MailSender::finished);
        OutgoingMail mail{scheme + QStringLiteral("://localhost:") + QString::number(server.port()),
                          QStringLiteral("owner"),
                          password,
                          QStringLiteral("pc@example.com"),
                          QStringLiteral("owner@example.com"),
                          "Subject: x\r\n\r\n.leading dot\r\n"};
        sender.send(7, mail);
        QVERIFY(done.wait(60000));
        QCOMPARE(done.first().at(0).toULongLong(), 7u);
        const QString detail = done.first().at(2).toString();
        QVERIFY2(done.first().at(1).toBool() == failure.isEmpty(), qPrintable(detail));
        QVERIFY2(detail.contains(failure), qPrintable(detail));
        if (!failure.isEmpty()) {
            QVERIFY(server.mails().isEmpty());
            return;
        }
        QTRY_COMPARE(server.mails().size(), 1);
        const SmtpFixture::Mail got = server.mails().first();
        QCOMPARE(got.raw, mail.message); // dot-stuffed on the way, unstuffed on arrival
        QCOMPARE(got.info.value(QStringLiteral("tls")).toBool(), tls || startTls);
        QCOMPARE(got.info.value(QStringLiteral("auth")).toBool(), serverAuth);
        QCOMPARE(got.info.value(QStringLiteral("mail_from")).toString(), mail.from);
    }
};

QTEST_GUILESS_MAIN(TestSmtpSender)
#include "tst_smtp_sender.moc"
