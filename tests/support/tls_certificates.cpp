#include "tls_certificates.h"

#include <QFile>
#include <QProcess>

namespace ringlark::test {

bool TlsCertificates::make()
{
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("no temporary folder");
        return false;
    }
    return makeCa(QStringLiteral("ca"), QStringLiteral("RINGLARK Test CA")) &&
           makeCa(QStringLiteral("rogue-ca"), QStringLiteral("RINGLARK Untrusted CA")) &&
           makeServer(QStringLiteral("localhost"), QStringLiteral("ca"),
                      QStringLiteral("localhost")) &&
           makeServer(QStringLiteral("rogue-localhost"), QStringLiteral("rogue-ca"),
                      QStringLiteral("localhost")) &&
           makeServer(QStringLiteral("other"), QStringLiteral("ca"),
                      QString::fromLatin1(kOtherHostName));
}

QList<QSslCertificate> TlsCertificates::trustedCa() const
{
    return QSslCertificate::fromPath(trustedCaFile(), QSsl::Pem);
}

bool TlsCertificates::makeCa(const QString &name, const QString &commonName)
{
    // EC keys: made in milliseconds, unlike RSA ones.
    return openssl({QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                    QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                    QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
                    QStringLiteral("-keyout"), path(name + QStringLiteral(".key")),
                    QStringLiteral("-out"), path(name + QStringLiteral(".crt")),
                    QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"),
                    QStringLiteral("/CN=") + commonName, QStringLiteral("-addext"),
                    QStringLiteral("basicConstraints=critical,CA:TRUE"), QStringLiteral("-addext"),
                    QStringLiteral("keyUsage=critical,keyCertSign,cRLSign")});
}

bool TlsCertificates::makeServer(const QString &name, const QString &ca, const QString &dnsName)
{
    const QString extensions = path(name + QStringLiteral(".ext"));
    QFile ext(extensions);
    if (!ext.open(QIODevice::WriteOnly) || ext.write("basicConstraints=CA:FALSE\n"
                                                     "keyUsage=critical,digitalSignature\n"
                                                     "extendedKeyUsage=serverAuth\n"
                                                     "subjectAltName=DNS:" +
                                                     dnsName.toLatin1() + "\n") < 0) {
        m_error = QStringLiteral("cannot write ") + extensions;
        return false;
    }
    ext.close();
    const QString csr = path(name + QStringLiteral(".csr"));
    return openssl({QStringLiteral("req"), QStringLiteral("-new"), QStringLiteral("-newkey"),
                    QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                    QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
                    QStringLiteral("-keyout"), path(name + QStringLiteral(".key")),
                    QStringLiteral("-out"), csr, QStringLiteral("-subj"),
                    QStringLiteral("/CN=") + dnsName}) &&
           openssl({QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"), csr,
                    QStringLiteral("-CA"), path(ca + QStringLiteral(".crt")),
                    QStringLiteral("-CAkey"), path(ca + QStringLiteral(".key")),
                    QStringLiteral("-set_serial"), QString::number(++m_serial),
                    QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-extfile"),
                    extensions, QStringLiteral("-out"), path(name + QStringLiteral(".crt"))});
}

bool TlsCertificates::openssl(const QStringList &args)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("openssl"), args);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        m_error = QStringLiteral("openssl ") + args.join(u' ') + QStringLiteral(": ") +
                  QString::fromLocal8Bit(process.readAll()) + process.errorString();
        return false;
    }
    return true;
}

} // namespace ringlark::test
