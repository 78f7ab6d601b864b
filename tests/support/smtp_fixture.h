#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace ringlark::test {

// A real SMTP server for one test: aiosmtpd (smtp_fixture.py) on 127.0.0.1 at a free
// port, with STARTTLS or TLS from the start and AUTH as asked. It keeps every mail it
// accepted; it stops with the fixture.
class SmtpFixture
{
public:
    struct Options
    {
        QString user; // empty: no AUTH offered
        QString password;
        QString certFile; // with keyFile: STARTTLS offered (or TLS from the start)
        QString keyFile;
        bool tls = false;
        bool authRequiresTls = false;
    };
    struct Mail
    {
        QByteArray raw;   // exactly as it arrived
        QJsonObject info; // mail_from, rcpt_tos, tls, auth, subject, body, date (decoded)
    };

    explicit SmtpFixture(Options options) : m_options(std::move(options)) {}
    ~SmtpFixture();
    SmtpFixture(const SmtpFixture &) = delete;
    SmtpFixture &operator=(const SmtpFixture &) = delete;

    bool start();
    quint16 port() const { return m_port; }
    QString errorText() const { return m_error; }
    // Every mail accepted so far, oldest first.
    QList<Mail> mails() const;

private:
    Options m_options;
    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_error;
    quint16 m_port = 0;
};

} // namespace ringlark::test
