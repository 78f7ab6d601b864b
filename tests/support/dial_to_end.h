#pragma once

#include "dialup_connection.h"
#include "dialup_provider.h"

#include <QSignalSpy>

namespace ringlark::test {

// A dial run to its end, for tests that care about the result, not the wait. A result
// reported from inside the starting call (never allowed) reads as -1000, none in time as
// -2000.
inline qint32 dialToEnd(DialUpProvider &provider, const QString &entry,
                        DialUpProvider::Handle &handle)
{
    QSignalSpy finished(&provider, &DialUpProvider::dialFinished);
    provider.startDial(0, entry);
    if (!finished.isEmpty())
        return -1000;
    if (!finished.wait(60000))
        return -2000;
    handle = finished.constFirst().at(1).value<quintptr>();
    return finished.constFirst().at(0).toInt();
}

inline qint32 startDUNToEnd(WinInet &inet, const QString &entry, quintptr hWnd = 0)
{
    QSignalSpy finished(&inet, &WinInet::StartDUNFinished);
    inet.StartDUN(hWnd, entry);
    if (!finished.isEmpty())
        return -1000;
    return finished.wait(60000) ? finished.constFirst().constFirst().toInt() : -2000;
}

} // namespace ringlark::test
