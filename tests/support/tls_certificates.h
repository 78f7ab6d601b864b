#pragma once

#include <QList>
#include <QSslCertificate>
#include <QString>
#include <QTemporaryDir>

namespace ringlark::test {

// Certificates made with openssl at run time (make_test_certs.sh), in a temporary folder or the
// one RINGLARK_TEST_CERTS names, for the TLS tests and the TLS benchmark:
// - a certificate authority the tests trust (through the socket's extra-CA list only),
//   and a server certificate for "localhost" it signed;
// - a second authority nobody trusts, with its own "localhost" server certificate;
// - a certificate for another host name, signed by the trusted authority.
// Nothing is installed anywhere: the machine's trust store is left alone.
class TlsCertificates
{
public:
    struct ServerCert
    {
        QString certFile;
        QString keyFile;
    };

    // Makes everything; on failure errorText() says why.
    bool make();
    QString errorText() const { return m_error; }

    // The trusted authority, as the socket's extra-CA seam takes it.
    QList<QSslCertificate> trustedCa() const;
    QString trustedCaFile() const { return path(QStringLiteral("ca.crt")); }

    ServerCert localhost() const { return server(QStringLiteral("localhost")); }
    ServerCert untrustedLocalhost() const { return server(QStringLiteral("rogue-localhost")); }
    ServerCert otherHost() const { return server(QStringLiteral("other")); }

    static constexpr const char *kOtherHostName = "mail.other-host.example";

private:
    QString path(const QString &file) const { return m_folder + u'/' + file; }
    ServerCert server(const QString &name) const
    {
        return {path(name + QStringLiteral(".crt")), path(name + QStringLiteral(".key"))};
    }

    QTemporaryDir m_dir;
    QString m_folder;
    QString m_error;
};

} // namespace ringlark::test
