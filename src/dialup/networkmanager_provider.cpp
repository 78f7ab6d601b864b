#include "networkmanager_provider.h"

#include "dialup_result.h"
#include "log_categories.h"
#include "nm_names.h"
#include "nm_state_watcher.h"

#include <algorithm>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>

namespace ringlark {

using namespace dialup;

namespace {

using SettingsMap = QMap<QString, QVariantMap>;

// Reads and deactivation are quick in NetworkManager; a daemon that takes longer is stuck,
// and the user interface should not wait for it longer than this.
constexpr int kCallTimeoutMs = 5000;

bool isRemoteType(const QString &type)
{
    static const QStringList kTypes = {
        QStringLiteral("pppoe"), QStringLiteral("gsm"), QStringLiteral("cdma"),
        QStringLiteral("adsl"),  QStringLiteral("vpn"), QStringLiteral("wireguard"),
    };
    return kTypes.contains(type);
}

template <typename T> T fromDBus(const QVariant &value)
{
    if (value.userType() == qMetaTypeId<QDBusVariant>())
        return fromDBus<T>(value.value<QDBusVariant>().variant());
    if (value.userType() == qMetaTypeId<QDBusArgument>())
        return qdbus_cast<T>(value.value<QDBusArgument>());
    return value.value<T>();
}

} // namespace

NetworkManagerProvider::NetworkManagerProvider(std::chrono::milliseconds dialBound)
    : m_bus(QDBusConnection::systemBus()), m_dialBound(dialBound)
{
    qDBusRegisterMetaType<SettingsMap>();
}

NetworkManagerProvider::~NetworkManagerProvider() = default;

QDBusMessage NetworkManagerProvider::call(const QString &path, const QString &interface,
                                          const QString &method, const QVariantList &args,
                                          int timeoutMs)
{
    QDBusMessage message = QDBusMessage::createMethodCall(nm::kService, path, interface, method);
    message.setArguments(args);
    // Block: wait for the reply without running an event loop on this thread.
    QDBusMessage reply = m_bus.call(message, QDBus::Block, timeoutMs);
    if (reply.type() == QDBusMessage::ErrorMessage)
        qCDebug(lcDialup) << method << path << "failed:" << reply.errorName()
                          << reply.errorMessage();
    return reply;
}

qint32 NetworkManagerProvider::readSettings(const QString &profilePath, QVariantMap &connection,
                                            QVariantMap &bluetooth)
{
    const QDBusMessage reply = call(profilePath, nm::kConnectionInterface,
                                    QStringLiteral("GetSettings"), {}, kCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return reply.type() == QDBusMessage::ErrorMessage ? resultForDBusError(reply.errorName())
                                                          : OtherDBusError;
    const SettingsMap settings = fromDBus<SettingsMap>(reply.arguments().constFirst());
    connection = settings.value(QStringLiteral("connection"));
    bluetooth = settings.value(QStringLiteral("bluetooth"));
    return Success;
}

qint32 NetworkManagerProvider::readProfiles(QList<Profile> &profiles)
{
    profiles.clear();
    const QDBusMessage reply = call(nm::kSettingsPath, nm::kSettingsInterface,
                                    QStringLiteral("ListConnections"), {}, kCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return reply.type() == QDBusMessage::ErrorMessage ? resultForDBusError(reply.errorName())
                                                          : OtherDBusError;
    const auto paths = fromDBus<QList<QDBusObjectPath>>(reply.arguments().constFirst());
    for (const QDBusObjectPath &path : paths) {
        QVariantMap connection, bluetooth;
        const qint32 result = readSettings(path.path(), connection, bluetooth);
        if (result == ServiceNotRunning || result == NoReply)
            return result;
        // A profile that vanished or that we may not read is simply not offered.
        if (result != Success)
            continue;
        profiles.append({path.path(), connection.value(QStringLiteral("id")).toString()});
    }
    return Success;
}

qint32 NetworkManagerProvider::readActiveConnections(QList<Active> &actives)
{
    actives.clear();
    const QDBusMessage reply =
        call(nm::kManagerPath, nm::kPropertiesInterface, QStringLiteral("Get"),
             {nm::kManagerInterface, QStringLiteral("ActiveConnections")}, kCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return reply.type() == QDBusMessage::ErrorMessage ? resultForDBusError(reply.errorName())
                                                          : OtherDBusError;
    const auto paths = fromDBus<QList<QDBusObjectPath>>(reply.arguments().constFirst());
    for (const QDBusObjectPath &path : paths) {
        const QDBusMessage props =
            call(path.path(), nm::kPropertiesInterface, QStringLiteral("GetAll"),
                 {nm::kActiveInterface}, kCallTimeoutMs);
        // Active connections come and go while we read; one that is gone is skipped.
        if (props.type() != QDBusMessage::ReplyMessage || props.arguments().isEmpty())
            continue;
        const auto values = fromDBus<QVariantMap>(props.arguments().constFirst());
        Active active;
        active.path = path.path();
        active.profilePath =
            fromDBus<QDBusObjectPath>(values.value(QStringLiteral("Connection"))).path();
        active.type = values.value(QStringLiteral("Type")).toString();
        active.state = values.value(QStringLiteral("State")).toUInt();
        actives.append(active);
    }
    return Success;
}

QStringList NetworkManagerProvider::listEntries()
{
    QList<Profile> profiles;
    const qint32 result = readProfiles(profiles);
    QStringList names;
    if (result != Success) {
        qCDebug(lcDialup) << "cannot list profiles:" << result << describe(result);
        return names;
    }
    for (const Profile &profile : std::as_const(profiles))
        names.append(profile.id);
    qCDebug(lcDialup) << "profiles:" << names;
    return names;
}

NetworkManagerProvider::Handle NetworkManagerProvider::remember(const QString &activePath)
{
    const Handle handle = m_nextHandle++;
    m_active.insert(handle, activePath);
    return handle;
}

qint32 NetworkManagerProvider::dial(quintptr parentWindow, const QString &entry, Handle &handle)
{
    Q_UNUSED(parentWindow) // NetworkManager shows nothing of its own for an unattended dial.
    handle = 0;
    const QDeadlineTimer deadline(m_dialBound);
    qCDebug(lcDialup) << "dial" << entry;

    QList<Profile> profiles;
    qint32 result = readProfiles(profiles);
    if (result != Success)
        return result;
    // With several profiles of one name, the first in NetworkManager's order is the entry.
    const auto profile = std::find_if(profiles.cbegin(), profiles.cend(),
                                      [&](const Profile &p) { return p.id == entry; });
    if (profile == profiles.cend()) {
        qCDebug(lcDialup) << "no profile named" << entry;
        return UnknownConnection;
    }

    // Activating a profile that is already up would take it down and up again and cut a
    // remote session that runs over it. Adopt it instead; join one that is coming up.
    QList<Active> actives;
    result = readActiveConnections(actives);
    if (result != Success)
        return result;
    // Forget handles of connections that went down meanwhile (hung up from outside, a line
    // that dropped): over weeks of unattended dials they would only pile up. Hanging one up
    // reports "not active", as it would have anyway.
    m_active.removeIf([&actives](const auto &handleAndPath) {
        return std::none_of(actives.cbegin(), actives.cend(),
                            [&](const Active &a) { return a.path == handleAndPath.value(); });
    });
    QString activePath;
    for (const Active &active : std::as_const(actives)) {
        if (active.profilePath != profile->path)
            continue;
        if (active.state == nm::kActivated) {
            handle = remember(active.path);
            qCDebug(lcDialup) << "already active, adopted" << active.path << "as" << handle;
            return Success;
        }
        if (active.state == nm::kActivating)
            activePath = active.path;
    }

    if (!m_watcher)
        m_watcher = std::make_unique<ActiveStateWatcher>();
    if (!m_watcher->isConnected() || !m_watcher->subscribe()) {
        m_watcher.reset();
        return ServiceNotRunning;
    }

    const bool callActivate = activePath.isEmpty();
    if (callActivate) {
        const QDBusMessage reply =
            call(nm::kManagerPath, nm::kManagerInterface, QStringLiteral("ActivateConnection"),
                 {QVariant::fromValue(QDBusObjectPath(profile->path)),
                  QVariant::fromValue(QDBusObjectPath(QStringLiteral("/"))),
                  QVariant::fromValue(QDBusObjectPath(QStringLiteral("/")))},
                 static_cast<int>(qMax<qint64>(1, deadline.remainingTime())));
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
            m_watcher->unsubscribe();
            return reply.type() == QDBusMessage::ErrorMessage
                       ? resultForDBusError(reply.errorName())
                       : OtherDBusError;
        }
        activePath = fromDBus<QDBusObjectPath>(reply.arguments().constFirst()).path();
        qCDebug(lcDialup) << "activating" << profile->path << "as" << activePath;
    } else {
        qCDebug(lcDialup) << "joining activation under way" << activePath;
    }

    result = waitForOutcome(activePath, callActivate, deadline);
    m_watcher->unsubscribe();
    if (result == Success)
        handle = remember(activePath);
    qCDebug(lcDialup) << "dial" << entry << "->" << result << describe(result);
    return result;
}

qint32 NetworkManagerProvider::waitForOutcome(const QString &activePath, bool calledActivate,
                                              QDeadlineTimer deadline)
{
    ActiveStateReceiver &receiver = m_watcher->receiver();
    receiver.watch(activePath);
    // The subscription is in place, so the state read now cannot miss a later change.
    const QDBusMessage state =
        call(activePath, nm::kPropertiesInterface, QStringLiteral("Get"),
             {nm::kActiveInterface, QStringLiteral("State")}, kCallTimeoutMs);
    const bool stateRead =
        state.type() == QDBusMessage::ReplyMessage && !state.arguments().isEmpty();
    const quint32 now = stateRead ? fromDBus<uint>(state.arguments().constFirst()) : 0;
    if (stateRead && now == nm::kActivated)
        return Success;
    // An activation we joined may have ended before we subscribed; its signal is gone.
    if (!calledActivate && (!stateRead || now == nm::kDeactivated))
        return FailedWithoutReason;

    if (!receiver.waitForOutcome(deadline)) {
        // Give up on it, so that it does not come up later behind a reported failure.
        qCDebug(lcDialup) << "no outcome in time, deactivating" << activePath;
        call(nm::kManagerPath, nm::kManagerInterface, QStringLiteral("DeactivateConnection"),
             {QVariant::fromValue(QDBusObjectPath(activePath))}, kCallTimeoutMs);
        return TimedOut;
    }
    const auto outcome = receiver.outcome();
    if (!outcome)
        return FailedWithoutReason;
    return outcome->state == nm::kActivated ? Success : resultForDeactivation(outcome->reason);
}

qint32 NetworkManagerProvider::hangUp(Handle handle)
{
    const QString path = m_active.take(handle);
    if (path.isEmpty()) {
        qCDebug(lcDialup) << "hang-up of unknown handle" << handle;
        return NotActive;
    }
    const QDBusMessage reply =
        call(nm::kManagerPath, nm::kManagerInterface, QStringLiteral("DeactivateConnection"),
             {QVariant::fromValue(QDBusObjectPath(path))}, kCallTimeoutMs);
    const qint32 result = reply.type() == QDBusMessage::ReplyMessage
                              ? Success
                              : resultForDBusError(reply.errorName());
    qCDebug(lcDialup) << "hang-up" << path << "->" << result << describe(result);
    return result;
}

bool NetworkManagerProvider::remoteConnected()
{
    QList<Active> actives;
    if (readActiveConnections(actives) != Success)
        return false;
    for (const Active &active : std::as_const(actives)) {
        if (active.state != nm::kActivated)
            continue;
        if (isRemoteType(active.type))
            return true;
        if (active.type == QLatin1String("bluetooth")) {
            // Bluetooth is remote only as dial-up networking, not as a personal-area network.
            QVariantMap connection, bluetooth;
            if (readSettings(active.profilePath, connection, bluetooth) == Success &&
                bluetooth.value(QStringLiteral("type")).toString() == QLatin1String("dun"))
                return true;
        }
    }
    return false;
}

} // namespace ringlark
