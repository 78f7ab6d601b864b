#pragma once

#include "dialup_connection.h"
#include "dialup_provider.h"

#include <QSignalSpy>
#include <QTest>

#include <optional>

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

// What an asking call answers later; none when it answered from inside the call (never
// allowed) or not in time.
template <typename T, typename Ask> std::optional<T> answerOf(Ask ask)
{
    std::optional<T> answer;
    ask([&answer](T value) { answer = value; });
    if (answer)
        return std::nullopt;
    return QTest::qWaitFor([&answer] { return answer.has_value(); }, 60000) ? answer
                                                                            : std::nullopt;
}

inline qint32 hangUpToEnd(DialUpProvider &provider, DialUpProvider::Handle handle)
{
    QObject context;
    return answerOf<qint32>([&](auto done) { provider.hangUp(handle, &context, done); })
        .value_or(-2000);
}

inline qint32 hangUpToEnd(WinInet &inet)
{
    return answerOf<qint32>([&](auto done) { inet.HangUp(done); }).value_or(-2000);
}

inline std::optional<bool> remoteToEnd(DialUpProvider &provider)
{
    QObject context;
    return answerOf<bool>([&](auto done) { provider.remoteConnected(&context, done); });
}

inline std::optional<QStringList> listToEnd(DialUpProvider &provider)
{
    QObject context;
    return answerOf<QStringList>([&](auto done) { provider.listEntries(&context, done); });
}

} // namespace ringlark::test
