#include "tls_certificates.h"

#include <QFile>
#include <QProcess>

namespace ringlark::test {

bool TlsCertificates::make()
{
    // Under Wine there is no openssl to run: the Windows run makes the files beforehand.
    const QString given = qEnvironmentVariable("RINGLARK_TEST_CERTS");
    if (!given.isEmpty()) {
        m_folder = given;
        if (QFile::exists(trustedCaFile()))
            return true;
        m_error = QStringLiteral("no certificates in RINGLARK_TEST_CERTS=") + given;
        return false;
    }
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("no temporary folder");
        return false;
    }
    m_folder = m_dir.path();
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("/bin/sh"),
                  {QStringLiteral(RINGLARK_TEST_SUPPORT_DIR "/make_test_certs.sh"), m_folder,
                   QString::fromLatin1(kOtherHostName)});
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        m_error = QStringLiteral("making the certificates failed: ") +
                  QString::fromLocal8Bit(process.readAll()) + process.errorString();
        return false;
    }
    return true;
}

QList<QSslCertificate> TlsCertificates::trustedCa() const
{
    return QSslCertificate::fromPath(trustedCaFile(), QSsl::Pem);
}

} // namespace ringlark::test
