// The long run: thousands of checks in one process, with the real main window, settings
// file, TCP socket and NetworkManager provider, against a local Dovecot and the
// NetworkManager mock. Every second check finds a fresh trigger mail; one dial in three
// goes to a profile the mock fails; from half-way on, two checks meet a closed port.
// Prints, every few hundred checks, the process's memory, its open descriptors and its
// top-level windows, which must stay flat, and at the end the rate, the dial counts and the
// boxes shown. Prints figures; never fails on them.
//
//   bench_longrun [checks=5000] [sample-every=500] [interval-seconds=0.01] [trigger-every=2]
//                 [unreachable-checks=2]

#include "app_services.h"
#include "app_state.h"
#include "check_cycle.h"
#include "clock.h"
#include "default_provider.h"
#include "dial_commands.h"
#include "event_log.h"
#include "fakes.h"
#include "ini_settings_store.h"
#include "mailbox.h"
#include "main_window.h"
#include "networkmanager_provider.h"
#include "nm_mock.h"
#include "process_figures.h"
#include "process_launcher.h"
#include "registry.h"
#include "temp_config_home.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLoggingCategory>
#include <QPlainTextEdit>
#include <QTcpServer>
#include <QTimeZone>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

using namespace ringlark;

namespace {

const QString kGoodProfile = QStringLiteral("Office VPN");
const QString kFailingProfile = QStringLiteral("Backup VPN");
constexpr quint32 kFailReason = 10; // authentication to the server failed

struct Options
{
    int sessions = 5000;
    int sampleEvery = 500;
    QString interval = QStringLiteral("0.01");
    int triggerEvery = 2; // a fresh trigger mail before every n-th check; 0: none
    // Checks, from half-way on, against a port where nobody listens: each shows the socket
    // error's box and is ended by the watchdog (20 s).
    int unreachable = 2;
};

Options parseOptions(const QStringList &args)
{
    Options options;
    if (args.size() > 1)
        options.sessions = qMax(2, args.at(1).toInt());
    if (args.size() > 2)
        options.sampleEvery = qMax(1, args.at(2).toInt());
    if (args.size() > 3)
        options.interval = args.at(3);
    if (args.size() > 4)
        options.triggerEvery = qMax(0, args.at(4).toInt());
    if (args.size() > 5)
        options.unreachable = qMax(0, args.at(5).toInt());
    return options;
}

// Trigger mails are a minute apart, so that each one is newer than the LASTDATE the
// previous dial left.
QDateTime triggerDate(int number)
{
    return QDateTime(QDate(2026, 12, 8), QTime(9, 0), QTimeZone(9 * 3600)).addSecs(60 * number);
}

QByteArray triggerMail(int number)
{
    return "Date: " + triggerDate(number).toString(Qt::RFC2822Date).toLatin1() +
           "\r\nFrom: Owner <owner@example.com>\r\nTo: ringlark@example.com\r\n"
           "Subject: Please ring me now (#" +
           QByteArray::number(number) + ")\r\nMessage-ID: <" + QByteArray::number(number) +
           ".longrun@example.com>\r\n\r\nBring the office PC online, please.\r\n";
}

// A port on this machine where nobody listens: a connection there is refused.
quint16 closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

bool writeSettings(const QString &iniFile, const QString &server, const QString &interval)
{
    QFile file(iniFile);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const QString text = QStringLiteral("[STARTUP]\nPOP3SERVER=%1\nUSERNAME=ringlark\n"
                                        "PASSWORD=secret\nFROM=owner@example.com\nFROM_CHECK=1\n"
                                        "SUBJECT=ring me\nSUBJECT_CHECK=1\nDIALUPNETWORK=%2\n"
                                        "TIMEINTERVAL=%3\nAUTOSTART=1\n")
                             .arg(server, kGoodProfile, interval);
    return file.write(text.toUtf8()) > 0;
}

struct Counts
{
    int sessions = 0;
    int triggersDropped = 0;
    int dials = 0;        // dial outcomes logged by a tick
    int connected = 0;    // "...へ接続しました。"
    int dialFailures = 0; // "接続エラー ..."
    int alreadyUp = 0;    // "すでに接続しています。"
    int hangUps = 0;      // the program's own hang-up, after every other good dial
    int externalDrops = 0;
    int unreachableChecks = 0;
    qint64 unreachableMs = 0;
    int missedTriggers = 0;  // a trigger session that did not dial
    int unexpectedDials = 0; // a dial in a session without a fresh trigger
    int dialsInThisTick = 0;
    qint64 longestGapMs = 0;
    int longestGapAfter = 0;
};

void printSample(const Counts &c, double seconds, AppCore &core, MainWindow &window,
                 int topLevels, const test::FakeMessageBox &box)
{
    const bench::ProcessFigures memory = bench::readProcessFigures();
    const auto *log = window.findChild<QPlainTextEdit *>(QStringLiteral("txtStatus"));
    std::printf("%8d %8.1f %9lld %9lld %9lld %5d %9d %6d %6d %6d %8lld %7d\n", c.sessions, seconds,
                memory.rssKb, memory.hwmKb, bench::heapInUseKb(), bench::openDescriptors(),
                topLevels, static_cast<int>(box.shown.size()), c.connected, c.dialFailures,
                static_cast<long long>(core.eventLog().text().size()),
                log ? log->document()->blockCount() : -1);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const Options options = parseOptions(QCoreApplication::arguments());
    // The program's own log lines would only slow the run down; the run watches the
    // signals instead. RINGLARK_LONGRUN_LOG=1 keeps them.
    if (qEnvironmentVariableIsEmpty("RINGLARK_LONGRUN_LOG"))
        QLoggingCategory::setFilterRules(QStringLiteral("ringlark.*=false"));

    test::TempConfigHome config;
    bench::Mailbox pop;
    QString error;
    if (!pop.start(error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    const QDir demoMails(QStringLiteral(RINGLARK_SOURCE_DIR "/scripts/demo-mails"));
    for (const QString &name : demoMails.entryList({QStringLiteral("*.eml")}, QDir::Files)) {
        QFile mail(demoMails.filePath(name));
        if (!mail.open(QIODevice::ReadOnly) || pop.add(mail.readAll()).isEmpty()) {
            std::fprintf(stderr, "cannot deliver %s\n", qPrintable(name));
            return 1;
        }
    }

    test::NetworkManagerMock nm;
    nm.addProfile({kGoodProfile, QStringLiteral("vpn")});
    nm.addProfile({kFailingProfile, QStringLiteral("vpn"), kFailReason});
    if (!nm.start()) {
        std::fprintf(stderr, "NetworkManager mock: %s\n", qPrintable(nm.errorText()));
        return 1;
    }
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", nm.busAddress().toUtf8());
    if (!writeSettings(config.iniFile(), pop.address(), options.interval)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(config.iniFile()));
        return 1;
    }

    IniSettingsStore settingsStore;
    // Modal boxes close at once (the run must go on); boxes shown with open() stay open, as
    // nobody is there to close them, so that a program that shows one box per check would be
    // seen piling them up.
    test::FakeMessageBox messageBox;
    SystemClock clock;
    const std::unique_ptr<DialUpProvider> dialUp = makeDefaultDialUpProvider();
    const std::unique_ptr<Registry> registry = createSystemRegistry();
    ProcessLauncher launcher;
    AppState state;
    AppServices services{settingsStore, messageBox, clock, *dialUp, *registry, launcher};
    services.endProgram = [] { QCoreApplication::exit(0); };
    AppCore core(services, state);
    MainWindow window(core);
    core.Form_Load();
    window.show();

    std::printf("Long run: %d checks every %s s against Dovecot at %s; one dial in three to "
                "a profile the mock fails (reason %u)\n",
                options.sessions, qPrintable(options.interval), qPrintable(pop.address()),
                kFailReason);
    std::printf("%8s %8s %9s %9s %9s %5s %9s %6s %6s %6s %8s %7s\n", "checks", "seconds", "RSS KiB",
                "HWM KiB", "heap KiB", "fds", "toplevels", "boxes", "dialOK", "dialNG", "logChars",
                "logLines");

    Counts counts;
    QElapsedTimer elapsed;
    QElapsedTimer sinceLast;
    bool freshTrigger = false;
    bool unreachableNow = false;
    const QString serverAddress = pop.address();
    const QString closedAddress = QStringLiteral("127.0.0.1:") + QString::number(closedPort());
    int lastTrigger = 0;
    QString lastTriggerName;
    const auto topLevelsAtStart = QApplication::topLevelWidgets().size();

    QObject::connect(&core.eventLog(), &EventLog::appended, &app, [&counts](const QString &line) {
        if (line.endsWith(QStringLiteral("へ接続しました。"))) {
            ++counts.connected;
            ++counts.dialsInThisTick;
        } else if (line.startsWith(QStringLiteral("接続エラー "))) {
            ++counts.dialFailures;
            ++counts.dialsInThisTick;
        } else if (line == QStringLiteral("すでに接続しています。")) {
            ++counts.alreadyUp;
            ++counts.dialsInThisTick;
        }
    });

    QObject::connect(&core.checkCycle(), &CheckCycle::checkFinished, &app, [&] {
        ++counts.sessions;
        const qint64 gap = sinceLast.restart();
        if (unreachableNow) {
            counts.unreachableMs += gap;
            state.settings.Pop3Server = serverAddress;
            unreachableNow = false;
        } else if (counts.sessions > 1 && gap > counts.longestGapMs) {
            counts.longestGapMs = gap;
            counts.longestGapAfter = counts.sessions;
        }
        counts.dials += counts.dialsInThisTick;
        if (freshTrigger && counts.dialsInThisTick == 0)
            ++counts.missedTriggers;
        if (!freshTrigger && counts.dialsInThisTick > 0)
            ++counts.unexpectedDials;
        const bool dialled = counts.dialsInThisTick > 0;
        counts.dialsInThisTick = 0;

        // A connection that came up goes down again before the next trigger: every other
        // time by the program's own hang-up command, otherwise from outside, as when the
        // line drops.
        if (dialled && !nm.activeConnections().isEmpty()) {
            if (counts.connected % 2 == 1) {
                core.dialCommands().SET_DISCONNECT_Click();
                ++counts.hangUps;
            } else {
                for (const QString &path : nm.activeConnections())
                    nm.deactivate(path);
                ++counts.externalDrops;
            }
        }

        if (counts.sessions == 1 || counts.sessions % options.sampleEvery == 0)
            printSample(counts, static_cast<double>(elapsed.elapsed()) / 1000.0, core, window,
                        static_cast<int>(QApplication::topLevelWidgets().size()), messageBox);
        if (counts.sessions >= options.sessions) {
            core.checkCycle().stopCommand();
            QCoreApplication::exit(0);
            return;
        }

        // Before every second check, a fresh trigger mail; the one before it goes.
        freshTrigger =
            options.triggerEvery > 0 && (counts.sessions + 1) % options.triggerEvery == 0;
        if (!freshTrigger && counts.sessions >= options.sessions / 2 &&
            counts.unreachableChecks < options.unreachable) {
            ++counts.unreachableChecks;
            unreachableNow = true;
            state.settings.Pop3Server = closedAddress;
        }
        if (freshTrigger) {
            ++lastTrigger;
            ++counts.triggersDropped;
            if (!lastTriggerName.isEmpty())
                pop.remove(lastTriggerName);
            lastTriggerName = pop.add(triggerMail(lastTrigger));
            if (lastTriggerName.isEmpty())
                std::fprintf(stderr, "cannot deliver trigger %d\n", lastTrigger);
            state.entries.selectExact(lastTrigger % 3 == 0 ? kFailingProfile : kGoodProfile);
        }
    });

    // A run that stops moving is reported, not waited for.
    QTimer stallGuard;
    int sessionsAtLastLook = -1;
    QObject::connect(&stallGuard, &QTimer::timeout, &app, [&] {
        if (counts.sessions == sessionsAtLastLook) {
            std::fprintf(stderr, "no check finished in 60 s after check %d; giving up\n",
                         counts.sessions);
            QCoreApplication::exit(2);
        }
        sessionsAtLastLook = counts.sessions;
    });
    stallGuard.start(60000);

    elapsed.start();
    sinceLast.start();
    const int rc = QApplication::exec();
    const double seconds = static_cast<double>(elapsed.elapsed()) / 1000.0;

    // Handles the provider still keeps for connections that are gone.
    int staleHandles = 0;
    if (auto *provider = dynamic_cast<NetworkManagerProvider *>(dialUp.get()))
        for (DialUpProvider::Handle h = 1;
             h <= static_cast<DialUpProvider::Handle>(counts.connected + 1); ++h)
            if (!provider->activeConnectionPath(h).isEmpty())
                ++staleHandles;

    const double normalSeconds = seconds - static_cast<double>(counts.unreachableMs) / 1000.0;
    std::printf("\n%d checks in %.1f s; %d of them against a closed port (%s) took %.1f s;\n"
                "the others: %.1f checks/s, longest gap between two checks %lld ms (before "
                "check %d)\n",
                counts.sessions, seconds, counts.unreachableChecks, qPrintable(closedAddress),
                static_cast<double>(counts.unreachableMs) / 1000.0,
                (counts.sessions - counts.unreachableChecks) / normalSeconds, counts.longestGapMs,
                counts.longestGapAfter);
    std::printf("trigger mails %d, dials %d: connected %d, failed %d, already up %d; "
                "missed triggers %d, dials without a trigger %d\n",
                counts.triggersDropped, counts.dials, counts.connected, counts.dialFailures,
                counts.alreadyUp, counts.missedTriggers, counts.unexpectedDials);
    std::printf("ActivateConnection calls seen by the mock %lld; hang-ups by the program %d, "
                "drops from outside %d; handles the provider still holds %d\n",
                static_cast<long long>(nm.methodCalls(QStringLiteral("ActivateConnection")).size()),
                counts.hangUps, counts.externalDrops, staleHandles);
    std::printf(
        "boxes opened %d (left open %d)%s; top-level widgets %lld (at start %lld)\n",
        static_cast<int>(messageBox.shown.size()), messageBox.openCount(),
        messageBox.shown.isEmpty()
            ? ""
            : qPrintable(QStringLiteral(", last: ") + messageBox.shown.last().text),
        static_cast<long long>(QApplication::topLevelWidgets().size()),
        static_cast<long long>(topLevelsAtStart));
    std::printf("Columns: RSS/HWM from /proc/self/status; heap: bytes the allocator has handed out "
                "and not had back;\nfds: /proc/self/fd; boxes: message boxes shown; logChars, "
                "logLines: the log box's text, which keeps every line.\n");
    std::printf(
        "LASTDATE in the settings file: %s (last trigger mail: %s)\n",
        qPrintable(settingsStore.read(QStringLiteral("LASTDATE"), QString())),
        qPrintable(triggerDate(lastTrigger).toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"))));
    // For a heap profiler: end here, with everything still allocated, so that what the
    // program holds shows up as not freed.
    if (qEnvironmentVariableIsSet("RINGLARK_LONGRUN_QUICK_EXIT")) {
        std::fflush(stdout);
        std::_Exit(rc);
    }
    return rc;
}
