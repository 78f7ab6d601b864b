// Prints how long the session takes to check a Dovecot mailbox that matches nothing, so that
// the walk goes down to message 1, beside two Python walks of the same mailbox in the same
// run: poplib one TOP at a time, and every TOP written at once (the floor). Each round trip
// is made long by delay_relay.py, which holds every byte for half of it each way.
//
//   bench_pop3_walk [--mails N] [--rtt 0,50,150] [--rounds R] [--slow-limit S] [--window B]
//
// Session and floor take the median of R rounds; one at a time runs once when the round
// trip is not 0, and not at all when mails x round trip would pass S seconds (its time is
// then estimated from the run without delay plus one round trip per mail, marked "~").
// --window: bytes of TOP requests the session keeps in flight (default: the program's).
#include "delay_relay.h"
#include "fakes.h"
#include "numbered_mailbox.h"
#include "pop3_session.h"
#include "qt_tcp_socket.h"
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
#include <optional>

using namespace ringlark;
using namespace ringlark::test;

namespace {

const QString kBenchDir = QStringLiteral(RINGLARK_BENCH_DIR);
const QString kPython = QStringLiteral("/usr/bin/python3");

struct Walk
{
    double seconds = 0;
    int walked = 0;
    QString error; // empty when the walk went down to message 1
};

Walk pythonWalk(const char *mode, quint16 port, const DovecotFixture &dovecot)
{
    QProcess python;
    python.start(kPython, {kBenchDir + QStringLiteral("/pop3_walks.py"), QString::fromLatin1(mode),
                           QStringLiteral("127.0.0.1"), QString::number(port),
                           dovecot.options().user, dovecot.options().password});
    python.waitForFinished(-1);
    const QList<QByteArray> out = python.readAllStandardOutput().trimmed().split(' ');
    Walk walk{out.value(0).toDouble(), out.value(1).toInt(), {}};
    if (out.size() != 2)
        walk.error = QString::fromUtf8(python.readAllStandardError().trimmed().right(200));
    return walk;
}

Walk sessionWalk(Pop3Session &session, SessionValues &values)
{
    QEventLoop loop;
    const SessionReport report(session);
    QObject::connect(&session, &Pop3Session::runningChanged, &loop, [&loop](bool running) {
        if (!running)
            loop.quit();
    });
    // Forget the newest mail an earlier round saw, so that every round walks the whole box.
    values = SessionValues();
    QElapsedTimer timer;
    timer.start();
    session.Command1_Click();
    loop.exec();
    Walk walk;
    walk.seconds = timer.nsecsElapsed() / 1e9;
    const QString &results = report.results();
    walk.walked = static_cast<int>(results.count(QStringLiteral("件名:")));
    const qsizetype err = results.lastIndexOf(QStringLiteral("ERR("));
    if (err >= 0)
        walk.error = results.mid(err);
    else if (values.MailNo != 0)
        walk.error = results.right(80);
    return walk;
}

Walk median(QList<Walk> walks)
{
    std::sort(walks.begin(), walks.end(),
              [](const Walk &a, const Walk &b) { return a.seconds < b.seconds; });
    return walks.value(walks.size() / 2);
}

QString cell(const Walk &w)
{
    if (!w.error.isEmpty())
        return QStringLiteral("%1 s, %2 walked, %3").arg(w.seconds, 0, 'f', 2).arg(w.walked).arg(w.error);
    return QStringLiteral("%1").arg(w.seconds, 0, 'f', 3);
}

QString ratio(double a, double b)
{
    return b > 0 ? QStringLiteral("%1").arg(a / b, 0, 'f', 4) : QStringLiteral("-");
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    int mails = 1000, rounds = 3, slowLimit = 1200;
    qsizetype window = TopRequests::kPipelineWindowBytes;
    QList<int> rtts{0, 50, 150};
    const QStringList args = QCoreApplication::arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QStringLiteral("--mails"))
            mails = args[i + 1].toInt();
        else if (args[i] == QStringLiteral("--rounds"))
            rounds = std::max(1, args[i + 1].toInt());
        else if (args[i] == QStringLiteral("--slow-limit"))
            slowLimit = args[i + 1].toInt();
        else if (args[i] == QStringLiteral("--window"))
            window = args[i + 1].toInt();
        else if (args[i] == QStringLiteral("--rtt")) {
            rtts.clear();
            for (const QString &v : args[i + 1].split(u','))
                rtts.append(v.toInt());
        }
    }
    QTextStream out(stdout);

    DovecotFixture dovecot;
    if (!bench::startNumberedMailbox(dovecot, mails, out))
        return 1;

    SessionValues values;
    SettingsTable settings;
    settings.UserName = dovecot.options().user;
    settings.Password = dovecot.options().password;
    settings.FromCheck = QStringLiteral("1"); // matches nothing: the walk goes down to 1
    settings.FromAddress = QStringLiteral("nobody@nowhere.invalid");
    settings.SubjectCheck = QStringLiteral("0");
    settings.LastDate = QStringLiteral("2003/04/01 00:00:00");
    FakeMessageBox box;
    Pop3Session session(
        values, [&settings] { return sessionSettings(settings); }, std::make_unique<QtTcpSocket>(),
        box);
    session.setPipelineWindow(window);

    // Dovecot indexes the Maildir on first access; no walk should pay for that.
    pythonWalk("all", dovecot.port(), dovecot);

    out << QStringLiteral("%1 mails; session and floor: median of %2 rounds; window %3 bytes\n")
               .arg(mails)
               .arg(rounds)
               .arg(window)
        << QStringLiteral("%1 %2 %3 %4 %5 %6\n")
               .arg(QStringLiteral("rtt ms"), 6)
               .arg(QStringLiteral("RINGLARK s"), 12)
               .arg(QStringLiteral("one at a time s"), 16)
               .arg(QStringLiteral("floor s"), 9)
               .arg(QStringLiteral("RL/floor"), 9)
               .arg(QStringLiteral("RL/one"), 8)
        << Qt::flush;
    std::optional<double> oneWithoutDelay;
    bool allSound = true;
    for (int rtt : rtts) {
        bench::DelayRelay relay(dovecot.port(), rtt);
        if (relay.port() == 0) {
            out << "the relay did not start\n";
            return 1;
        }
        settings.Pop3Server = QStringLiteral("127.0.0.1:") + QString::number(relay.port());
        QList<Walk> ours, floor;
        for (int r = 0; r < rounds; ++r) {
            ours.append(sessionWalk(session, values));
            floor.append(pythonWalk("all", relay.port(), dovecot));
        }
        const Walk a = median(ours), f = median(floor);
        Walk one;
        QString oneText;
        const double estimate = oneWithoutDelay.value_or(0) + mails * rtt / 1000.0;
        if (rtt > 0 && estimate > slowLimit) {
            one.seconds = estimate;
            oneText = QStringLiteral("~%1 (not run)").arg(estimate, 0, 'f', 0);
        } else {
            QList<Walk> ones;
            for (int r = 0; r < (rtt == 0 ? rounds : 1); ++r)
                ones.append(pythonWalk("one", relay.port(), dovecot));
            one = median(ones);
            oneText = cell(one);
            if (rtt == 0)
                oneWithoutDelay = one.seconds;
        }
        allSound = allSound && a.error.isEmpty() && a.walked == mails && f.walked == mails;
        out << QStringLiteral("%1 %2 %3 %4 %5 %6\n")
                   .arg(rtt, 6)
                   .arg(cell(a), 12)
                   .arg(oneText, 16)
                   .arg(cell(f), 9)
                   .arg(ratio(a.seconds, f.seconds), 9)
                   .arg(ratio(a.seconds, one.seconds), 8)
            << Qt::flush;
    }
    out << "RL/floor: the session against the floor (goal: at most 1.5 at every delay).\n"
        << "RL/one: the session against one at a time (goal: at most 0.02 at 150 ms).\n"
        << Qt::flush;
    return allSound ? 0 : 2;
}
