// Prints, for a Dovecot mailbox of N mails that match nothing (so every walk goes all the
// way down), how long a first check takes over POP3 and over IMAP at each round trip, and
// how long after a trigger mail's delivery into the Maildir an idling IMAP session has found
// it (the moment the check cycle dials). Round trips come from bench/pop3/delay_relay.py.
//
//   bench_imap [--mails N] [--rtt 0,150] [--pushes P]
#include "delay_relay.h"
#include "fakes.h"
#include "imap_session.h"
#include "numbered_mailbox.h"
#include "pop3_session.h"
#include "qt_tcp_socket.h"
#include "sample_mails.h"
#include "session_settings.h"
#include "settings_table.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTextStream>
#include <QTimer>

#include <algorithm>

using namespace ringlark;
using namespace ringlark::test;

namespace {

// Runs the event loop until `done` holds or the limit passes; returns the seconds taken.
template <typename Done> double runUntil(Done done, int limitMs = 600000)
{
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done() || clock.elapsed() > limitMs)
            loop.quit();
    });
    poll.start(1);
    loop.exec();
    return clock.nsecsElapsed() / 1e9;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    int mails = 1000, pushes = 5;
    QList<int> rtts{0, 150};
    const QStringList args = QCoreApplication::arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QStringLiteral("--mails"))
            mails = args[i + 1].toInt();
        else if (args[i] == QStringLiteral("--pushes"))
            pushes = args[i + 1].toInt();
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

    SettingsTable settings;
    settings.UserName = dovecot.options().user;
    settings.Password = dovecot.options().password;
    settings.FromCheck = QStringLiteral("1");
    settings.FromAddress = QStringLiteral("owner@example.jp");
    settings.SubjectCheck = QStringLiteral("1");
    settings.Subject = QStringLiteral("please dial");
    settings.LastDate = QStringLiteral("2003/04/01 00:00:00");
    const SessionSettingsSource source = [&settings] { return sessionSettings(settings); };
    FakeMessageBox box;
    SessionValues values;
    Pop3Session pop3(values, source, std::make_unique<QtTcpSocket>(), box);
    ImapSession imap(values, source, std::make_unique<QtTcpSocket>(), box, {});
    const auto walk = [&](MailSession &session, const QString &server) {
        settings.Pop3Server = server;
        settings.lastUid.clear();
        values = SessionValues();
        session.Command1_Click();
        const double s = runUntil([&] { return !session.isRunning(); });
        return QStringLiteral("%1 s (%2)")
            .arg(s, 0, 'f', 3)
            .arg(values.MailNo == 0 ? QStringLiteral("to message 1") : QStringLiteral("CUT SHORT"));
    };

    imap.setPushAllowed(false);
    out << mails << " mails, first check of the whole mailbox\n"
        << QStringLiteral("%1 %2 %3\n")
               .arg(QStringLiteral("rtt ms"), 6)
               .arg(QStringLiteral("POP3"), 28)
               .arg(QStringLiteral("IMAP"), 28)
        << Qt::flush;
    walk(pop3, dovecot.address()); // Dovecot indexes the Maildir once
    for (const int rtt : rtts) {
        bench::DelayRelay pop3Relay(dovecot.port(), rtt);
        bench::DelayRelay imapRelay(dovecot.imapPort(), rtt);
        const QString host = QStringLiteral("127.0.0.1:");
        const QString a = walk(pop3, host + QString::number(pop3Relay.port()));
        const QString b =
            walk(imap, QStringLiteral("imap://") + host + QString::number(imapRelay.port()));
        out << QStringLiteral("%1 %2 %3\n").arg(rtt, 6).arg(a, 28).arg(b, 28) << Qt::flush;
    }

    out << "\ndelivery into the Maildir -> trigger found over IDLE (the dial is asked for)\n"
        << Qt::flush;
    imap.setPushAllowed(true);
    QObject::connect(
        &imap, &ImapSession::checkWanted, &imap,
        [&] {
            values.SessionStep = SessionStep::None;
            imap.Command1_Click();
        },
        Qt::QueuedConnection);
    for (const int rtt : rtts) {
        bench::DelayRelay relay(dovecot.imapPort(), rtt);
        settings.Pop3Server = QStringLiteral("imap://127.0.0.1:") + QString::number(relay.port());
        values.SessionStep = SessionStep::None;
        imap.Command1_Click();
        runUntil([&] { return imap.idling(); });
        settings.lastUid = imap.walkIdentity();
        QList<double> times;
        for (int p = 0; p < pushes; ++p) {
            MailSpec trigger = everydayMailbox().at(1);
            trigger.date = "Mon, " + QByteArray::number(1 + p) + " Oct 2029 09:00:00 +0900";
            values.TriggerFlag = TriggerFlag::None;
            runUntil([] { return false; }, 300); // settled in IDLE
            dovecot.addMail(realisticMail(trigger));
            times.append(runUntil([&] { return values.TriggerFlag == TriggerFlag::Start; }, 20000));
            runUntil([&] { return imap.idling(); });
            settings.lastUid = imap.walkIdentity();
        }
        std::sort(times.begin(), times.end());
        out << QStringLiteral("rtt %1 ms: median %2 s, max %3 s over %4 mails\n")
                   .arg(rtt)
                   .arg(times.value(times.size() / 2), 0, 'f', 3)
                   .arg(times.value(times.size() - 1), 0, 'f', 3)
                   .arg(times.size())
            << Qt::flush;
        imap.setPushAllowed(false);
        imap.setPushAllowed(true);
    }
    return 0;
}
