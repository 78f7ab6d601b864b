#pragma once

#include <QString>
#include <QtGlobal>

namespace ringlark::dialup {

// The numbers a dial or hang-up on Linux can give back. 0 is success; 1 to 14 are
// NetworkManager's own active-connection state reasons, passed on as they come; 100 and up
// are ours, for failures that happen on the way to NetworkManager. (-1, "nothing done",
// comes from WinInet itself.) This is the one table of them: the log shows only the
// number, so keep describe() in step with it.
enum Result : qint32
{
    Success = 0,

    // NetworkManager's NMActiveConnectionStateReason values.
    ReasonNone = 1,
    ReasonUserDisconnected = 2,
    ReasonDeviceDisconnected = 3,
    ReasonServiceStopped = 4,
    ReasonIpConfigInvalid = 5,
    ReasonConnectTimeout = 6,
    ReasonServiceStartTimeout = 7,
    ReasonServiceStartFailed = 8,
    ReasonNoSecrets = 9,
    ReasonLoginFailed = 10,
    ReasonConnectionRemoved = 11,
    ReasonDependencyFailed = 12,
    ReasonDeviceRealizeFailed = 13,
    ReasonDeviceRemoved = 14,

    // Our band.
    UnknownConnection = 100,
    PermissionDenied = 101,
    UnknownDevice = 102,
    ServiceNotRunning = 103,
    NoReply = 104,
    NotActive = 105,
    TimedOut = 106,
    OtherDBusError = 107,
    FailedWithoutReason = 108,
};

inline constexpr qint32 kFirstOwnResult = 100;
inline constexpr qint32 kLastOwnResult = FailedWithoutReason;
inline constexpr qint32 kLastNetworkManagerReason = ReasonDeviceRemoved;

// A short English description of a result number; "unknown result N" for numbers outside
// the table.
QString describe(qint32 result);

// The table as markdown, for the README and docs/dial-results.md.
QString resultTableMarkdown();

// What a user can do about a failed dial, in the log's language; empty where the number
// says all there is to say.
QString advice(qint32 result);

// The result for a D-Bus error name (org.freedesktop.NetworkManager.*,
// org.freedesktop.DBus.Error.*).
qint32 resultForDBusError(const QString &errorName);

// The result for an active connection that ended DEACTIVATED with the given reason. Never 0:
// a deactivation is a failure even when NetworkManager gives reason 0 (unknown).
qint32 resultForDeactivation(quint32 reason);

} // namespace ringlark::dialup
