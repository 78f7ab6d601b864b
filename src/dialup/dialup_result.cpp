#include "dialup_result.h"

#include <QString>

namespace ringlark::dialup {

namespace {

struct Row
{
    qint32 number;
    const char *text;
};

// Keep in step with the enum in the header.
constexpr Row kRows[] = {
    {Success, "connected / hung up"},
    {ReasonNone, "no reason given"},
    {ReasonUserDisconnected, "disconnected by a user"},
    {ReasonDeviceDisconnected, "the device was disconnected"},
    {ReasonServiceStopped, "the VPN service stopped"},
    {ReasonIpConfigInvalid, "the IP configuration was invalid"},
    {ReasonConnectTimeout, "the connection attempt timed out"},
    {ReasonServiceStartTimeout, "the VPN service did not start in time"},
    {ReasonServiceStartFailed, "the VPN service failed to start"},
    {ReasonNoSecrets, "necessary secrets (passwords) were not provided"},
    {ReasonLoginFailed, "authentication to the server failed"},
    {ReasonConnectionRemoved, "the connection profile was removed"},
    {ReasonDependencyFailed, "a connection it depends on failed"},
    {ReasonDeviceRealizeFailed, "the software device could not be created"},
    {ReasonDeviceRemoved, "the device was removed"},
    {UnknownConnection, "unknown connection: no profile by that name"},
    {PermissionDenied, "permission denied"},
    {UnknownDevice, "no device available for the profile"},
    {ServiceNotRunning, "NetworkManager is not running"},
    {NoReply, "NetworkManager did not reply"},
    {NotActive, "the connection is not active"},
    {TimedOut, "the connection did not come up within the time limit"},
    {OtherDBusError, "other D-Bus error (see the ringlark.dialup log)"},
    {FailedWithoutReason, "the connection went down without a known reason"},
};

} // namespace

QString describe(qint32 result)
{
    for (const Row &row : kRows)
        if (row.number == result)
            return QString::fromLatin1(row.text);
    return QStringLiteral("unknown result %1").arg(result);
}

QString advice(qint32 result)
{
    switch (result) {
    case ReasonNoSecrets:
        return QStringLiteral(
            "パスワードなどの秘密情報がありません。秘密情報をエージェントに預ける接続は、"
            "エージェントが動いていないと（ログインしていない時など）つながりません。"
            "接続の秘密情報を「すべてのユーザー」用に保存するか（nmcli connection modify "
            "<接続名> vpn.secrets ...、または +vpn.data password-flags=0）、"
            "秘密情報のエージェントを動かしてください");
    case PermissionDenied:
        return QStringLiteral("このユーザーにはネットワークを操作する権限がありません。"
                              "README の「polkit」の節の規則を入れてください");
    default:
        return {};
    }
}

QString resultTableMarkdown()
{
    QString out = QStringLiteral("| Number | Meaning |\n|---:|---|\n");
    for (const Row &row : kRows)
        out += QStringLiteral("| %1 | %2 |\n").arg(row.number).arg(QString::fromLatin1(row.text));
    return out;
}

qint32 resultForDBusError(const QString &errorName)
{
    struct Mapping
    {
        QLatin1String name;
        qint32 result;
    };
    static constexpr Mapping kMappings[] = {
        {QLatin1String("org.freedesktop.NetworkManager.UnknownConnection"), UnknownConnection},
        {QLatin1String("org.freedesktop.NetworkManager.PermissionDenied"), PermissionDenied},
        {QLatin1String("org.freedesktop.DBus.Error.AccessDenied"), PermissionDenied},
        {QLatin1String("org.freedesktop.NetworkManager.UnknownDevice"), UnknownDevice},
        // "No suitable device" for the profile reaches us as either of these.
        {QLatin1String("org.freedesktop.NetworkManager.ConnectionNotAvailable"), UnknownDevice},
        {QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown"), ServiceNotRunning},
        {QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner"), ServiceNotRunning},
        {QLatin1String("org.freedesktop.DBus.Error.Disconnected"), ServiceNotRunning},
        {QLatin1String("org.freedesktop.DBus.Error.NoServer"), ServiceNotRunning},
        {QLatin1String("org.freedesktop.DBus.Error.NoReply"), NoReply},
        {QLatin1String("org.freedesktop.DBus.Error.Timeout"), NoReply},
        {QLatin1String("org.freedesktop.DBus.Error.TimedOut"), NoReply},
        {QLatin1String("org.freedesktop.NetworkManager.ConnectionNotActive"), NotActive},
    };
    for (const Mapping &m : kMappings)
        if (errorName == m.name)
            return m.result;
    return OtherDBusError;
}

qint32 resultForDeactivation(quint32 reason)
{
    // Reason 0 is NetworkManager's "unknown"; passing it on would read as success. Reasons
    // that newer NetworkManager versions may add pass through as long as they stay below
    // our band.
    if (reason == 0 || reason >= static_cast<quint32>(kFirstOwnResult))
        return FailedWithoutReason;
    return static_cast<qint32>(reason);
}

} // namespace ringlark::dialup
