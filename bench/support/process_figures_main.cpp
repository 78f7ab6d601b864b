// The benchmark scripts' view of the processes they run, read by the same code the long run
// reads itself with: one line per process id given, "RSS-KiB HWM-KiB CPU-ms" (-1 where a
// figure cannot be read, as when the process has ended).
//
//   bench_process_figures PID...
#include "process_figures.h"

#include <cstdio>

int main(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        const auto f = ringlark::bench::readProcessFigures(QString::fromLocal8Bit(argv[i]));
        std::printf("%lld %lld %lld\n", static_cast<long long>(f.rssKb),
                    static_cast<long long>(f.hwmKb), static_cast<long long>(f.cpuMs));
    }
    return 0;
}
