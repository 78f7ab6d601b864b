#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace ringlark::bench {

// A private Dovecot for the long run, started by dovecot_fixture.py. Unlike the test
// fixture it keeps nothing of Dovecot's log in this process (the log goes to a file), so
// that the process's memory is the program's own.
class Mailbox
{
public:
    Mailbox() = default;
    ~Mailbox();
    Mailbox(const Mailbox &) = delete;
    Mailbox &operator=(const Mailbox &) = delete;

    bool start(QString &error);
    QString address() const { return QStringLiteral("127.0.0.1:") + QString::number(m_port); }
    QString logFile() const { return m_dir.filePath(QStringLiteral("dovecot.log")); }

    // Delivers a mail as the newest; returns its name (empty on failure).
    QString add(const QByteArray &raw);
    // Removes a delivered mail, wherever Dovecot has moved it.
    void remove(const QString &name);

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_maildir;
    quint16 m_port = 0;
    int m_sequence = 0;
};

} // namespace ringlark::bench
