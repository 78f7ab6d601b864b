#include "dovecot_fixture.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

namespace ringlark::test {

namespace {
QString dovecotBinary()
{
    const QString found = QStandardPaths::findExecutable(
        QStringLiteral("dovecot"),
        {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/local/sbin")});
    return found.isEmpty() ? QStandardPaths::findExecutable(QStringLiteral("dovecot")) : found;
}
} // namespace

DovecotFixture::DovecotFixture(Options options) : m_options(std::move(options))
{
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    QObject::connect(&m_process, &QProcess::readyReadStandardOutput, &m_process,
                     [this] { m_stdout += m_process.readAllStandardOutput(); });
    QObject::connect(&m_process, &QProcess::readyReadStandardError, &m_process,
                     [this] { m_log += m_process.readAllStandardError(); });
}

DovecotFixture::~DovecotFixture()
{
    stop();
}

bool DovecotFixture::installed()
{
    return !dovecotBinary().isEmpty();
}

QString DovecotFixture::address() const
{
    return QStringLiteral("127.0.0.1:") + QString::number(m_port);
}

QString DovecotFixture::imapAddress() const
{
    return QStringLiteral("imap://127.0.0.1:") + QString::number(m_imapPort);
}

bool DovecotFixture::start()
{
    m_stdout.clear();
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("no temporary folder");
        return false;
    }
    // Dovecot's unprivileged mail user has to walk down to the Maildir.
    QFile::setPermissions(m_dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                            QFileDevice::ExeOwner | QFileDevice::ReadGroup |
                                            QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                            QFileDevice::ExeOther);
    QStringList args{QStringLiteral(RINGLARK_TEST_SUPPORT_DIR "/dovecot_fixture.py"),
                     QStringLiteral("--dir"),
                     m_dir.path() + QStringLiteral("/dovecot"),
                     QStringLiteral("--user"),
                     m_options.user,
                     QStringLiteral("--password"),
                     m_options.password,
                     QStringLiteral("--watch-stdin")};
    if (m_port != 0)
        args << QStringLiteral("--port") << QString::number(m_port) << QStringLiteral("--imap-port")
             << QString::number(m_imapPort);
    if (!m_options.sslCert.isEmpty())
        args << QStringLiteral("--ssl-cert") << m_options.sslCert << QStringLiteral("--ssl-key")
             << m_options.sslKey;
    // The system python: the fixture needs nothing beyond its standard library.
    m_process.start(QStringLiteral("/usr/bin/python3"), args);
    const bool settled = QTest::qWaitFor(
        [this] {
            return m_stdout.contains("READY\n") || m_stdout.contains("FAILED") ||
                   m_process.state() == QProcess::NotRunning;
        },
        30000);
    if (!settled || !m_stdout.contains("READY\n")) {
        m_error = QStringLiteral("dovecot did not start: ") + QString::fromUtf8(m_stdout) +
                  QString::fromUtf8(m_log) + QString::fromUtf8(m_process.readAllStandardError());
        stop();
        return false;
    }
    for (const QByteArray &line : m_stdout.split('\n')) {
        if (line.startsWith("PORT "))
            m_port = static_cast<quint16>(line.mid(5).toUInt());
        else if (line.startsWith("IMAPPORT "))
            m_imapPort = static_cast<quint16>(line.mid(9).toUInt());
        else if (line.startsWith("TLSPORT "))
            m_tlsPort = static_cast<quint16>(line.mid(8).toUInt());
        else if (line.startsWith("MAILDIR "))
            m_maildir = QString::fromUtf8(line.mid(8));
    }
    return m_port != 0 && !m_maildir.isEmpty();
}

void DovecotFixture::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.closeWriteChannel(); // the script stops Dovecot when its stdin closes
    m_process.terminate();
    if (!m_process.waitForFinished(15000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

bool DovecotFixture::addMail(const QByteArray &raw)
{
    if (m_maildir.isEmpty())
        return false;
    // Dovecot numbers new mails by the time stamp their file names begin with; ours count
    // up past the ones the script delivered.
    ++m_sequence;
    const QString name = QStringLiteral("%1.M%2P%3.ringlark")
                             .arg(2000000000 + m_sequence)
                             .arg(m_sequence, 6, 10, QLatin1Char('0'))
                             .arg(QCoreApplication::applicationPid());
    const QString tmp = m_maildir + QStringLiteral("/tmp/") + name;
    QFile file(tmp);
    if (!file.open(QIODevice::WriteOnly) || file.write(raw) != raw.size())
        return false;
    file.close();
    // The mail belongs to the unprivileged user the Maildir belongs to.
    struct stat owner = {};
    if (::stat(QFile::encodeName(m_maildir).constData(), &owner) != 0 ||
        ::chown(QFile::encodeName(tmp).constData(), owner.st_uid, owner.st_gid) != 0)
        return false;
    return QFile::rename(tmp, m_maildir + QStringLiteral("/new/") + name);
}

} // namespace ringlark::test
