#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace ringlark::test {

// A private Dovecot POP3 and IMAP server for one test: its configuration, passwd-file and Maildir
// live in a temporary folder, it listens on 127.0.0.1 at a free port, and it stops when
// the fixture goes. The work is done by dovecot_fixture.py, which the demo can run too.
class DovecotFixture
{
public:
    struct Options
    {
        QString user = QStringLiteral("ringlark");
        QString password = QStringLiteral("secret");
        // PEM files: when given, Dovecot also serves POP3 over TLS on tlsPort().
        QString sslCert;
        QString sslKey;
    };

    DovecotFixture() : DovecotFixture(Options()) {}
    explicit DovecotFixture(Options options);
    ~DovecotFixture();
    DovecotFixture(const DovecotFixture &) = delete;
    DovecotFixture &operator=(const DovecotFixture &) = delete;

    // Whether dovecot is installed. CI installs it, so a real-peer test must not skip there.
    static bool installed();

    // Starts Dovecot and waits until it answers (bounded). On failure, errorText() says why.
    // Started again after a stop(), it serves the same Maildir on the same ports.
    bool start();
    void stop();

    quint16 port() const { return m_port; }
    quint16 tlsPort() const { return m_tlsPort; }
    quint16 imapPort() const { return m_imapPort; }
    // "imap://127.0.0.1:port".
    QString imapAddress() const;
    // "127.0.0.1:port", the form the server setting takes.
    QString address() const;
    QString maildir() const { return m_maildir; }
    const Options &options() const { return m_options; }
    QString errorText() const { return m_error; }
    // What Dovecot logged so far.
    QString log() const { return QString::fromUtf8(m_log); }

    // Delivers a mail; mails are numbered in the order they are added.
    bool addMail(const QByteArray &raw);

private:
    Options m_options;
    QTemporaryDir m_dir;
    QProcess m_process;
    QByteArray m_stdout;
    QByteArray m_log;
    QString m_maildir;
    QString m_error;
    quint16 m_port = 0;
    quint16 m_tlsPort = 0;
    quint16 m_imapPort = 0;
    int m_sequence = 0;
};

} // namespace ringlark::test
