#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <malloc.h>
#include <unistd.h>

namespace ringlark::bench {

// What every benchmark samples of a process, from /proc/<pid>/status and /proc/<pid>/stat:
// its resident set and high-water mark in KiB, and the CPU time it has used (user and system)
// in milliseconds. -1 where the process or the figure is not there.
struct ProcessFigures
{
    qint64 rssKb = -1;
    qint64 hwmKb = -1;
    qint64 cpuMs = -1;
};

inline ProcessFigures readProcessFigures(const QString &pid = QStringLiteral("self"))
{
    ProcessFigures figures;
    const QString dir = QStringLiteral("/proc/") + pid;
    QFile status(dir + QStringLiteral("/status"));
    if (status.open(QIODevice::ReadOnly)) {
        const QList<QByteArray> lines = status.readAll().split('\n');
        for (const QByteArray &line : lines) {
            const qint64 value = line.mid(6).trimmed().split(' ').value(0).toLongLong();
            if (line.startsWith("VmRSS:"))
                figures.rssKb = value;
            else if (line.startsWith("VmHWM:"))
                figures.hwmKb = value;
        }
    }
    QFile stat(dir + QStringLiteral("/stat"));
    if (stat.open(QIODevice::ReadOnly)) {
        // The command name may hold blanks and brackets: the fields start after its last ')'.
        // Then state, ..., utime and stime are the 12th and 13th.
        const QByteArray text = stat.readAll();
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        const long ticksPerSecond = sysconf(_SC_CLK_TCK);
        if (fields.size() > 12 && ticksPerSecond > 0)
            figures.cpuMs =
                (fields.at(11).toLongLong() + fields.at(12).toLongLong()) * 1000 / ticksPerSecond;
    }
    return figures;
}

// Bytes the allocator has handed out and not had back: tells growth of live objects from
// memory the allocator keeps.
inline qint64 heapInUseKb()
{
    return static_cast<qint64>(mallinfo2().uordblks) / 1024;
}

// Open file descriptors of this process.
inline int openDescriptors()
{
    return static_cast<int>(QDir(QStringLiteral("/proc/self/fd"))
                                .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System)
                                .size());
}

} // namespace ringlark::bench
