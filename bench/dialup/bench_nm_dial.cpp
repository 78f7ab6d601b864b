// How long a dial, a hang-up, a listing and a remote-connection test take against the
// NetworkManager mock on a private bus, and how long the caller's event loop is held up at
// most during a dial. Prints the figures; never fails on them.

#include "dialup_result.h"
#include "networkmanager_provider.h"
#include "nm_mock.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace ringlark;

namespace {

struct Figures
{
    double min, median, max;
};

Figures summarise(std::vector<double> ms)
{
    std::sort(ms.begin(), ms.end());
    return {ms.front(), ms[ms.size() / 2], ms.back()};
}

double elapsedMs(const QElapsedTimer &clock)
{
    return static_cast<double>(clock.nsecsElapsed()) / 1e6;
}

void print(const char *what, const Figures &f)
{
    std::printf("%-40s min %7.2f ms  median %7.2f ms  max %7.2f ms\n", what, f.min, f.median,
                f.max);
}

// One dial run to its end by an event loop, as the program runs it. `stallMs` is the longest
// gap between two ticks of a 5 ms timer meanwhile: how long a window would stay frozen.
qint32 dialToEnd(DialUpProvider &provider, const QString &entry, DialUpProvider::Handle &handle,
                 double &stallMs)
{
    qint32 result = -1;
    QEventLoop loop;
    QObject::connect(&provider, &DialUpProvider::dialFinished, &loop,
                     [&](qint32 r, quintptr h) {
                         result = r;
                         handle = h;
                         loop.quit();
                     });
    QElapsedTimer sinceTick;
    stallMs = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, &loop, [&] {
        stallMs = std::max(stallMs, elapsedMs(sinceTick));
        sinceTick.restart();
    });
    sinceTick.start();
    ticker.start(5);
    provider.startDial(0, entry);
    stallMs = std::max(stallMs, elapsedMs(sinceTick)); // startDial's own share
    loop.exec();
    return result;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;

    test::NetworkManagerMock nm;
    nm.addProfile({QStringLiteral("Bench VPN"), QStringLiteral("vpn")});
    nm.addProfile({QStringLiteral("Bench PPPoE 100 ms"),
                   QStringLiteral("pppoe"),
                   {},
                   false,
                   false,
                   false,
                   100});
    for (int i = 0; i < 8; ++i)
        nm.addProfile({QStringLiteral("Filler %1").arg(i), QStringLiteral("802-3-ethernet")});
    if (!nm.start()) {
        std::fprintf(stderr, "%s\n", qPrintable(nm.errorText()));
        return 1;
    }
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", nm.busAddress().toUtf8());
    NetworkManagerProvider provider;

    int failures = 0;
    provider.listEntries(); // first use of the bus
    for (const QString &entry :
         {QStringLiteral("Bench VPN"), QStringLiteral("Bench PPPoE 100 ms")}) {
        std::vector<double> dials, stalls, hangUps;
        for (int i = 0; i < rounds; ++i) {
            DialUpProvider::Handle handle = 0;
            QElapsedTimer clock;
            clock.start();
            double stall = 0;
            failures += dialToEnd(provider, entry, handle, stall) != dialup::Success;
            dials.push_back(elapsedMs(clock));
            stalls.push_back(stall);
            clock.restart();
            failures += provider.hangUp(handle) != dialup::Success;
            hangUps.push_back(elapsedMs(clock));
        }
        print(qPrintable(QStringLiteral("dial \"%1\"").arg(entry)), summarise(dials));
        print(qPrintable(QStringLiteral("  longest event-loop stall")), summarise(stalls));
        print(qPrintable(QStringLiteral("hang-up \"%1\"").arg(entry)), summarise(hangUps));
    }
    std::vector<double> lists, remotes;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer clock;
        clock.start();
        failures += provider.listEntries().size() != 10;
        lists.push_back(elapsedMs(clock));
        clock.restart();
        failures += provider.remoteConnected();
        remotes.push_back(elapsedMs(clock));
    }
    print("list of 10 profiles", summarise(lists));
    print("remote-connection test", summarise(remotes));
    std::printf("rounds: %d, failures: %d\n", rounds, failures);
    return failures == 0 ? 0 : 1;
}
