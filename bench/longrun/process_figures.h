#pragma once

#include <QDir>
#include <QFile>
#include <QString>

#include <malloc.h>

namespace ringlark::bench {

// This process's resident set and high-water mark in KiB, from /proc/self/status.
struct Memory
{
    qint64 rssKb = -1;
    qint64 hwmKb = -1;
};

inline Memory readMemory()
{
    Memory memory;
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return memory;
    const QList<QByteArray> lines = status.readAll().split('\n');
    for (const QByteArray &line : lines) {
        const auto value = [&line] {
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
        };
        if (line.startsWith("VmRSS:"))
            memory.rssKb = value();
        else if (line.startsWith("VmHWM:"))
            memory.hwmKb = value();
    }
    return memory;
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
