// Prints how long one whole session (connect, greeting, USER, PASS, STAT, TOP n 1 down to
// message 1, QUIT, close) takes against a local Dovecot over TLS and over plain POP3: the
// median of N sessions each, alternating. Usage: bench_tls_session [sessions] [mails]
//
// The TLS sessions trust the test's authority through the socket's extra-CA list: the socket
// then reads the system's roots into a list once, and hands the whole list to OpenSSL on
// every connection. The program trusts the system store alone, which OpenSSL searches on
// demand, so its TLS sessions cost at most what is printed here.
#include "fakes.h"
#include "numbered_mailbox.h"
#include "pop3_session.h"
#include "qt_tcp_socket.h"
#include "session_report.h"
#include "session_settings.h"
#include "session_values.h"
#include "settings_table.h"
#include "tls_certificates.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTextStream>

#include <algorithm>
#include <cstdlib>

using namespace ringlark;
using namespace ringlark::test;

namespace {

struct Outcome
{
    double seconds = 0;
    int examined = 0;
    bool clean = false;
};

// One session object per kind of connection, used again and again like the program does.
struct Client
{
    Client(const QString &server, const QList<QSslCertificate> &extraCa,
           const DovecotFixture &dovecot)
        : session(
              values, [this] { return sessionSettings(settings); },
              std::make_unique<QtTcpSocket>(extraCa), box)
    {
        settings.Pop3Server = server;
        settings.UserName = dovecot.options().user;
        settings.Password = dovecot.options().password;
        settings.FromCheck = QStringLiteral("1"); // matches nothing: the walk goes down to 1
        settings.FromAddress = QStringLiteral("nobody@nowhere.invalid");
        settings.SubjectCheck = QStringLiteral("0");
        settings.LastDate = QStringLiteral("2003/04/01 00:00:00");
    }

    // One session from Command1 to its closed connection. Fresh values, so that every
    // session walks the whole mailbox instead of stopping at the newest mail it knows.
    Outcome run()
    {
        values = SessionValues();
        QEventLoop loop;
        QObject::connect(&session, &Pop3Session::runningChanged, &loop, [&loop](bool running) {
            if (!running)
                loop.quit();
        });
        QElapsedTimer timer;
        timer.start();
        session.Command1_Click();
        loop.exec();
        Outcome o;
        o.seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
        o.examined = static_cast<int>(report.results().count(QStringLiteral("件名:")));
        o.clean = box.shown.isEmpty() && !report.results().contains(QStringLiteral("ERR("));
        return o;
    }

    SessionValues values;
    SettingsTable settings;
    FakeMessageBox box;
    Pop3Session session;
    SessionReport report{session};
};

double median(QList<double> v)
{
    std::sort(v.begin(), v.end());
    return v.isEmpty() ? 0 : v.at(v.size() / 2);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int sessions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    const int mails = argc > 2 ? std::max(1, std::atoi(argv[2])) : 20;
    QTextStream out(stdout);

    TlsCertificates pki;
    if (!pki.make()) {
        out << "certificates: " << pki.errorText() << Qt::endl;
        return 1;
    }
    DovecotFixture::Options options;
    options.sslCert = pki.localhost().certFile;
    options.sslKey = pki.localhost().keyFile;
    DovecotFixture dovecot(options);
    if (!bench::startNumberedMailbox(dovecot, mails, out))
        return 1;
    const QString plain = QStringLiteral("pop3://localhost:") + QString::number(dovecot.port());
    const QString tls = QStringLiteral("pop3s://localhost:") + QString::number(dovecot.tlsPort());

    Client plainClient(plain, {}, dovecot);
    QElapsedTimer construction;
    construction.start();
    Client tlsClient(tls, pki.trustedCa(), dovecot);
    const double seamSeconds = static_cast<double>(construction.nsecsElapsed()) / 1e9;

    // Dovecot indexes the Maildir on first access; neither side should pay for that.
    plainClient.run();
    tlsClient.run();

    QList<double> plainTimes, tlsTimes;
    bool ok = true;
    for (int i = 0; i < sessions; ++i) {
        const Outcome p = plainClient.run();
        const Outcome t = tlsClient.run();
        ok = ok && p.clean && t.clean && p.examined == mails && t.examined == mails;
        plainTimes.append(p.seconds);
        tlsTimes.append(t.seconds);
    }
    const double a = median(plainTimes), b = median(tlsTimes);
    out << "mails walked per session:      " << mails << "\n"
        << "sessions each (median taken):  " << sessions << "\n"
        << QStringLiteral("plain POP3 session:            %1 ms\n").arg(a * 1e3, 0, 'f', 1)
        << QStringLiteral("TLS session (pop3s://):        %1 ms\n").arg(b * 1e3, 0, 'f', 1)
        << QStringLiteral("TLS minus plain:               %1 ms\n").arg((b - a) * 1e3, 0, 'f', 1)
        << QStringLiteral("once per socket, system roots + test CA: %1 ms (test seam only)\n")
               .arg(seamSeconds * 1e3, 0, 'f', 1)
        << (ok ? "" : "WARNING: some session did not walk the whole mailbox cleanly\n")
        << Qt::flush;
    return ok ? 0 : 2;
}
