// How long a dial, a hang-up, a listing and a remote-connection test take against the
// NetworkManager mock on a private bus, and how long the caller's event loop is held up at
// most during each. Prints the figures; never fails on them.

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
#include <functional>
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

// One asking call run to its end by an event loop, as the program runs it: `start` gets the
// function that ends the wait. `stallMs` is the longest gap between two ticks of a 5 ms timer
// meanwhile: how long a window would stay frozen.
void runToEnd(const std::function<void(std::function<void()> done)> &start, double &stallMs)
{
    QEventLoop loop;
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
    bool ended = false;
    start([&] {
        ended = true;
        loop.quit();
    });
    stallMs = std::max(stallMs, elapsedMs(sinceTick)); // the call's own share
    if (!ended)
        loop.exec();
}

qint32 dialToEnd(DialUpProvider &provider, const QString &entry, DialUpProvider::Handle &handle,
                 double &stallMs)
{
    qint32 result = -1;
    QObject context;
    runToEnd(
        [&](std::function<void()> done) {
            QObject::connect(&provider, &DialUpProvider::dialFinished, &context,
                             [&result, &handle, done](qint32 r, quintptr h) {
                                 result = r;
                                 handle = h;
                                 done();
                             });
            provider.startDial(0, entry);
        },
        stallMs);
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
    NetworkManagerProvider provider(nm.bus());
    QObject context;

    int failures = 0;
    for (const QString &entry :
         {QStringLiteral("Bench VPN"), QStringLiteral("Bench PPPoE 100 ms")}) {
        std::vector<double> dials, stalls, hangUps, hangUpStalls;
        for (int i = 0; i < rounds; ++i) {
            DialUpProvider::Handle handle = 0;
            QElapsedTimer clock;
            clock.start();
            double stall = 0;
            failures += dialToEnd(provider, entry, handle, stall) != dialup::Success;
            dials.push_back(elapsedMs(clock));
            stalls.push_back(stall);
            clock.restart();
            runToEnd(
                [&](std::function<void()> done) {
                    provider.hangUp(handle, &context, [&failures, done](qint32 r) {
                        failures += r != dialup::Success;
                        done();
                    });
                },
                stall);
            hangUps.push_back(elapsedMs(clock));
            hangUpStalls.push_back(stall);
        }
        print(qPrintable(QStringLiteral("dial \"%1\"").arg(entry)), summarise(dials));
        print(qPrintable(QStringLiteral("  longest event-loop stall")), summarise(stalls));
        print(qPrintable(QStringLiteral("hang-up \"%1\"").arg(entry)), summarise(hangUps));
        print(qPrintable(QStringLiteral("  longest event-loop stall")), summarise(hangUpStalls));
    }
    std::vector<double> lists, listStalls, remotes, remoteStalls;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer clock;
        clock.start();
        double stall = 0;
        runToEnd(
            [&](std::function<void()> done) {
                provider.listEntries(&context, [&failures, done](const QStringList &names) {
                    failures += names.size() != 10;
                    done();
                });
            },
            stall);
        lists.push_back(elapsedMs(clock));
        listStalls.push_back(stall);
        clock.restart();
        runToEnd(
            [&](std::function<void()> done) {
                provider.remoteConnected(&context, [&failures, done](bool remote) {
                    failures += remote;
                    done();
                });
            },
            stall);
        remotes.push_back(elapsedMs(clock));
        remoteStalls.push_back(stall);
    }
    print("list of 10 profiles", summarise(lists));
    print("  longest event-loop stall", summarise(listStalls));
    print("remote-connection test", summarise(remotes));
    print("  longest event-loop stall", summarise(remoteStalls));
    std::printf("rounds: %d, failures: %d\n", rounds, failures);
    return failures == 0 ? 0 : 1;
}
