// Prints how long the session takes to walk every message of a 1,000-mail Dovecot mailbox
// (STAT, then TOP n 1 from the highest number down, then QUIT), beside Python's poplib
// doing the same walk in the same run. Usage: bench_pop3_walk [mails] [rounds]
#include "dovecot_fixture.h"
#include "fakes.h"
#include "pop3_session.h"
#include "qt_tcp_socket.h"
#include "sample_mails.h"
#include "session_report.h"
#include "session_settings.h"
#include "session_values.h"
#include "settings_table.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTextStream>

#include <algorithm>
#include <cstdio>

using namespace ringlark;
using namespace ringlark::test;

namespace {

const char *kPoplibWalk = R"(
import poplib, sys, time
host, port, user, password = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4]
start = time.perf_counter()
p = poplib.POP3(host, port)
p.user(user)
p.pass_(password)
count = p.stat()[0]
for n in range(count, 0, -1):
    p.top(n, 1)
p.quit()
print("%.6f %d" % (time.perf_counter() - start, count))
)";

double poplibSeconds(const DovecotFixture &dovecot)
{
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"), QString::fromLatin1(kPoplibWalk),
                  QStringLiteral("127.0.0.1"), QString::number(dovecot.port()),
                  dovecot.options().user, dovecot.options().password});
    python.waitForFinished(120000);
    const QList<QByteArray> out = python.readAllStandardOutput().trimmed().split(' ');
    return out.value(0).toDouble();
}

double sessionSeconds(Pop3Session &session, SessionValues &values, int &examined)
{
    QEventLoop loop;
    const SessionReport report(session);
    QObject::connect(&session, &Pop3Session::runningChanged, &loop, [&loop](bool running) {
        if (!running)
            loop.quit();
    });
    QElapsedTimer timer;
    // Forget the newest mail an earlier round saw, so that every round walks the whole box.
    values = SessionValues();
    timer.start();
    session.Command1_Click();
    loop.exec();
    const double seconds = timer.nsecsElapsed() / 1e9;
    examined = static_cast<int>(report.results().count(QStringLiteral("件名:")));
    return seconds;
}

double median(QList<double> v)
{
    std::sort(v.begin(), v.end());
    return v.isEmpty() ? 0 : v.at(v.size() / 2);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int mails = argc > 1 ? std::atoi(argv[1]) : 1000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
    QTextStream out(stdout);

    DovecotFixture dovecot;
    if (!dovecot.start()) {
        out << "dovecot did not start: " << dovecot.errorText() << Qt::endl;
        return 1;
    }
    for (int n = 1; n <= mails; ++n) {
        MailSpec mailSpec;
        mailSpec.subject = "Benchmark mail number " + QByteArray::number(n) + ".";
        dovecot.addMail(realisticMail(mailSpec));
    }

    SessionValues values;
    SettingsTable settings;
    settings.Pop3Server = dovecot.address();
    settings.UserName = dovecot.options().user;
    settings.Password = dovecot.options().password;
    settings.FromCheck = QStringLiteral("1"); // matches nothing: the walk goes down to 1
    settings.FromAddress = QStringLiteral("nobody@nowhere.invalid");
    settings.SubjectCheck = QStringLiteral("0");
    settings.LastDate = QStringLiteral("2003/04/01 00:00:00");
    FakeMessageBox box;
    Pop3Session session(
        values, [&settings] { return sessionSettings(settings); }, std::make_unique<QtTcpSocket>(),
        box, 120000);

    // Dovecot indexes the Maildir on first access; neither side should pay for that.
    poplibSeconds(dovecot);

    QList<double> ours, theirs;
    int examined = 0;
    for (int r = 0; r < rounds; ++r) {
        ours.append(sessionSeconds(session, values, examined));
        theirs.append(poplibSeconds(dovecot));
    }
    const double a = median(ours), b = median(theirs);
    out << "mails in mailbox:        " << mails << "\n"
        << "messages examined:       " << examined << "\n"
        << "rounds (median taken):   " << rounds << "\n"
        << QStringLiteral("Pop3Session walk:        %1 s\n").arg(a, 0, 'f', 3)
        << QStringLiteral("Python poplib walk:      %1 s\n").arg(b, 0, 'f', 3)
        << QStringLiteral("ratio session / poplib:  %1\n").arg(b > 0 ? a / b : 0, 0, 'f', 2)
        << Qt::flush;
    return examined == mails ? 0 : 2;
}
