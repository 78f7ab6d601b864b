#include "smtp_fixture.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QTest>

namespace ringlark::test {

SmtpFixture::~SmtpFixture()
{
    m_process.closeWriteChannel(); // the fixture ends at the end of its input
    if (!m_process.waitForFinished(5000))
        m_process.kill();
    m_process.waitForFinished();
}

bool SmtpFixture::start()
{
    QStringList args{QStringLiteral(RINGLARK_TEST_SUPPORT_DIR "/smtp_fixture.py"),
                     QStringLiteral("--dir"), m_dir.path()};
    const std::pair<const char *, QString> values[] = {{"--user", m_options.user},
                                                       {"--password", m_options.password},
                                                       {"--cert", m_options.certFile},
                                                       {"--key", m_options.keyFile}};
    for (const auto &[name, value] : values)
        if (!value.isEmpty())
            args << QString::fromLatin1(name) << value;
    if (m_options.tls)
        args << QStringLiteral("--tls");
    m_process.start(QStringLiteral("/usr/bin/python3"), args);
    if (!m_process.waitForReadyRead(30000)) {
        m_error = QStringLiteral("aiosmtpd did not start: ") +
                  QString::fromUtf8(m_process.readAllStandardError());
        return false;
    }
    const QByteArray line = m_process.readLine().trimmed();
    m_port = line.startsWith("PORT ") ? line.mid(5).toUShort() : 0;
    if (m_port == 0)
        m_error = QStringLiteral("aiosmtpd said: ") + QString::fromUtf8(line);
    return m_port != 0;
}

QList<SmtpFixture::Mail> SmtpFixture::mails() const
{
    QList<Mail> mails;
    const QDir dir(m_dir.path());
    for (const QString &name : dir.entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name)) {
        QFile info(dir.filePath(name));
        QFile raw(dir.filePath(name.chopped(5) + QStringLiteral(".eml")));
        if (!info.open(QIODevice::ReadOnly) || !raw.open(QIODevice::ReadOnly))
            continue;
        mails.append({raw.readAll(), QJsonDocument::fromJson(info.readAll()).object()});
    }
    return mails;
}

} // namespace ringlark::test
