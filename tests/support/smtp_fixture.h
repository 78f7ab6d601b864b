#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QTemporaryDir>

namespace ringlark::test {

// A real SMTP server for one test: aiosmtpd (smtp_fixture.py) on 127.0.0.1 at a free port,
// keeping every mail it accepts. It stops with the fixture.
class SmtpFixture
{
public:
    struct Options
    {
        QString user, password;    // empty user: no AUTH offered
        QString certFile, keyFile; // STARTTLS offered, then AUTH; with tls: TLS at once
        bool tls = false;
    };
    struct Mail
    {
        QByteArray raw;   // exactly as it arrived
        QJsonObject info; // mail_from, rcpt_tos, tls, auth, subject, body, date (decoded)
    };

    explicit SmtpFixture(Options options) : m_options(std::move(options)) {}
    ~SmtpFixture();

    bool start();
    quint16 port() const { return m_port; }
    QString errorText() const { return m_error; }
    QList<Mail> mails() const; // oldest first

private:
    Options m_options;
    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_error;
    quint16 m_port = 0;
};

} // namespace ringlark::test
