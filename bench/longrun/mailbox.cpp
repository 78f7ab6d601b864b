#include "mailbox.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>

#include <sys/stat.h>
#include <unistd.h>

namespace ringlark::bench {

Mailbox::~Mailbox()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.closeWriteChannel(); // the script stops Dovecot when its input closes
    if (!m_process.waitForFinished(15000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

bool Mailbox::start(QString &error)
{
    if (!m_dir.isValid()) {
        error = QStringLiteral("no temporary folder");
        return false;
    }
    // Dovecot's unprivileged mail user has to walk down to the Maildir.
    QFile::setPermissions(m_dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                            QFileDevice::ExeOwner | QFileDevice::ReadGroup |
                                            QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                            QFileDevice::ExeOther);
    m_process.setStandardErrorFile(logFile());
    m_process.start(QStringLiteral("/usr/bin/python3"),
                    {QStringLiteral(RINGLARK_SOURCE_DIR "/tests/support/dovecot_fixture.py"),
                     QStringLiteral("--dir"), m_dir.filePath(QStringLiteral("dovecot")),
                     QStringLiteral("--watch-stdin")});
    // Set-up, before the program runs: waiting here blocks nothing that is measured.
    QByteArray out;
    const QDeadlineTimer deadline(30000);
    while (!out.contains("READY\n") && !out.contains("FAILED")) {
        if (deadline.hasExpired() || !m_process.waitForReadyRead(500)) {
            if (deadline.hasExpired() || m_process.state() == QProcess::NotRunning) {
                error = QStringLiteral("Dovecot did not start; see ") + logFile();
                return false;
            }
            continue;
        }
        out += m_process.readAllStandardOutput();
    }
    for (const QByteArray &line : out.split('\n')) {
        if (line.startsWith("PORT "))
            m_port = static_cast<quint16>(line.mid(5).toUInt());
        else if (line.startsWith("MAILDIR "))
            m_maildir = QString::fromUtf8(line.mid(8));
    }
    if (m_port == 0 || m_maildir.isEmpty()) {
        error = QStringLiteral("Dovecot: ") + QString::fromUtf8(out);
        return false;
    }
    return true;
}

QString Mailbox::add(const QByteArray &raw)
{
    // Dovecot numbers new mails in the order of the time stamps their names begin with.
    ++m_sequence;
    const QString name = QStringLiteral("%1.M%2P%3.longrun")
                             .arg(2000000000 + m_sequence)
                             .arg(m_sequence, 6, 10, QLatin1Char('0'))
                             .arg(QCoreApplication::applicationPid());
    const QString tmp = m_maildir + QStringLiteral("/tmp/") + name;
    QFile file(tmp);
    if (!file.open(QIODevice::WriteOnly) || file.write(raw) != raw.size())
        return {};
    file.close();
    // The mail belongs to the unprivileged user that owns the Maildir.
    struct stat owner = {};
    if (::stat(QFile::encodeName(m_maildir).constData(), &owner) != 0 ||
        ::chown(QFile::encodeName(tmp).constData(), owner.st_uid, owner.st_gid) != 0 ||
        !QFile::rename(tmp, m_maildir + QStringLiteral("/new/") + name))
        return {};
    return name;
}

void Mailbox::remove(const QString &name)
{
    // In cur/ the name carries Dovecot's flags after a colon.
    for (const QString &sub : {QStringLiteral("/new"), QStringLiteral("/cur")}) {
        QDir dir(m_maildir + sub);
        for (const QString &found : dir.entryList({name + QLatin1Char('*')}, QDir::Files))
            dir.remove(found);
    }
}

} // namespace ringlark::bench
