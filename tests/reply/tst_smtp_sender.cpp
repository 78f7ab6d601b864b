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

    // SMTPSERVER's forms, and when STARTTLS is required; and of the trigger's texts only
    // what cannot carry a line break or a second address goes into headers and the envelope.
    void textsAreReadSafely()
    {
        const struct
        {
            const char *text, *url; // url empty: refused
            bool startTlsRequired;
        } servers[] = {
            {"smtp://mail.example.com", "smtp://mail.example.com:587", true},
            {" SMTPS://mail.example.com:2465/ ", "smtps://mail.example.com:2465", false},
            {"smtp://127.0.0.1:2525", "smtp://127.0.0.1:2525", false},
            {"smtp://[::1]", "smtp://[::1]:587", false},
            {"smtp://localhost", "smtp://localhost:587", false},
            {"mail.example.com", "", false},
            {"pop3s://mail.example.com", "", false},
            {"smtp://mail.example.com:0", "", false},
        };
        for (const auto &row : servers) {
            const std::optional<SmtpServer> server = parseSmtpServer(QString::fromUtf8(row.text));
            QCOMPARE(server ? server->url() : QString(), QString::fromUtf8(row.url));
            QVERIFY(!server || server->startTlsRequired == row.startTlsRequired);
        }
        const struct
        {
            const char *from, *address, *messageId, *id; // address, id empty: refused
        } trigger[] = {
            {" owner@example.com ", "owner@example.com", " <CAF=x+1@mail.example.jp> (c)",
             "<CAF=x+1@mail.example.jp>"},
            {"a@b\r\nBcc: c@d", "", "<a\r\n@b>", ""},
            {"<a@b>", "", "no id here", ""},
            {"a@b,c@d", "", "<a@b@c>", ""},
            {"太郎@example.jp", "", "<ａ@b>", ""},
        };
        for (const auto &row : trigger) {
            QCOMPARE(mailboxAddress(QString::fromUtf8(row.from)).value_or(QString()),
                     QString::fromUtf8(row.address));
            QCOMPARE(messageIdOf(QString::fromUtf8(row.messageId)).value_or(QString()),
                     QString::fromUtf8(row.id));
        }
    }

    void sendsThroughRealServer_data()
    {
        QTest::addColumn<bool>("tls");      // smtps
        QTest::addColumn<bool>("startTls"); // STARTTLS offered
        QTest::addColumn<bool>("serverAuth");
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("trusted");
        QTest::addColumn<QString>("failure"); // empty: delivered
        QTest::newRow("starttls, then auth") << false << true << true << "pw" << true << "";
        QTest::newRow("smtps with auth") << true << false << true << "pw" << true << "";
        QTest::newRow("no auth offered") << false << false << false << "pw" << true << "";
        QTest::newRow("wrong password") << false << true << true << "bad" << true << "535";
        QTest::newRow("untrusted certificate") << true << false << true << "pw" << false << "SSL";
    }
    void sendsThroughRealServer()
    {
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
        OutgoingMail mail{(tls ? QStringLiteral("smtps") : QStringLiteral("smtp")) +
                              QStringLiteral("://localhost:") + QString::number(server.port()),
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
