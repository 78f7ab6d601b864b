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
using namespace Qt::StringLiterals;

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
            {"太郎@example.jp", "", "<ａ@b>", ""},
        };
        for (const auto &row : trigger) {
            QCOMPARE(mailboxAddress(QString::fromUtf8(row.from)).value_or(QString()),
                     QString::fromUtf8(row.address));
            QCOMPARE(messageIdOf(QString::fromUtf8(row.messageId)).value_or(QString()),
                     QString::fromUtf8(row.id));
        }
    }

    void sendsThroughRealServer()
    {
        const struct
        {
            const char *name;
            bool tls, startTls, serverAuth, trusted; // tls: smtps; startTls: offered
            const char *password, *failure;          // failure empty: delivered
        } rows[] = {
            {"starttls, then auth", false, true, true, true, "pw", ""},
            {"smtps with auth", true, false, true, true, "pw", ""},
            {"no auth offered", false, false, false, true, "pw", ""},
            {"wrong password", false, true, true, true, "bad", "535"},
            {"untrusted certificate", true, false, true, false, "pw", "SSL"},
        };
        for (const auto &row : rows) {
            const TlsCertificates::ServerCert cert =
                row.trusted ? m_certs.localhost() : m_certs.untrustedLocalhost();
            SmtpFixture::Options options;
            if (row.serverAuth)
                options = {u"owner"_s, u"pw"_s, {}, {}, false};
            if (row.tls || row.startTls)
                std::tie(options.certFile, options.keyFile) = std::tie(cert.certFile, cert.keyFile);
            options.tls = row.tls;
            SmtpFixture server(options);
            QVERIFY2(server.start(), qPrintable(server.errorText()));

            CurlSmtpSender sender;
            sender.setCaFile(m_certs.trustedCaFile());
            QSignalSpy done(&sender, &MailSender::finished);
            const OutgoingMail mail{(row.tls ? u"smtps://localhost:"_s : u"smtp://localhost:"_s) +
                                        QString::number(server.port()),
                                    u"owner"_s,
                                    QString::fromLatin1(row.password),
                                    u"pc@example.com"_s,
                                    u"owner@example.com"_s,
                                    "Subject: x\r\n\r\n.leading dot\r\n"};
            sender.send(7, mail);
            QVERIFY(done.wait(60000));
            const QString detail = QString::fromLatin1(row.name) + u": "_s + done[0][2].toString();
            QCOMPARE(done[0][0].toULongLong(), 7u);
            QVERIFY2(done[0][1].toBool() == !*row.failure, qPrintable(detail));
            QVERIFY2(detail.contains(QLatin1StringView(row.failure)), qPrintable(detail));
            if (*row.failure) {
                QVERIFY(server.mails().isEmpty());
                continue;
            }
            QTRY_COMPARE(server.mails().size(), 1);
            const SmtpFixture::Mail got = server.mails().first();
            QCOMPARE(got.raw, mail.message); // dot-stuffed on the way, unstuffed on arrival
            QCOMPARE(got.info[u"tls"_s].toBool(), row.tls || row.startTls);
            QCOMPARE(got.info[u"auth"_s].toBool(), row.serverAuth);
        }
    }
};

QTEST_GUILESS_MAIN(TestSmtpSender)
#include "tst_smtp_sender.moc"
