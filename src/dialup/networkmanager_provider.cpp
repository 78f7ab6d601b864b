#include "networkmanager_provider.h"

#include "dialup_result.h"
#include "log_categories.h"
#include "nm_names.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <algorithm>

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

NetworkManagerProvider::NetworkManagerProvider(const TimerFactory &timers, QObject *parent)
    : DialUpProvider(parent), m_bus(QDBusConnection::systemBus()), m_bound(makeTimer(timers))
{
    qDBusRegisterMetaType<SettingsMap>();
    connect(m_bound.get(), &Timer::timeout, this, &NetworkManagerProvider::onBound);
}

NetworkManagerProvider::~NetworkManagerProvider()
{
    abandonDial();
}

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
    m_lastListResult = result;
    if (result != Success) {
        qCDebug(lcDialup) << "cannot list profiles:" << result << describe(result);
        return names;
    }
    for (const Profile &profile : std::as_const(profiles))
        names.append(profile.id);
    qCDebug(lcDialup) << "profiles:" << names;
    return names;
}

QString NetworkManagerProvider::listProblem() const
{
    if (m_lastListResult == Success)
        return {};
    if (m_lastListResult == ServiceNotRunning)
        return QStringLiteral("NetworkManager が動いていません");
    return QStringLiteral("NetworkManager から接続の一覧を読めません（") +
           QString::number(m_lastListResult) + QStringLiteral("）");
}

NetworkManagerProvider::Handle NetworkManagerProvider::remember(const QString &activePath)
{
    const Handle handle = m_nextHandle++;
    m_active.insert(handle, activePath);
    return handle;
}

qint32 NetworkManagerProvider::prepareDial(const QString &entry, QString &profilePath,
                                           QString &activePath, Handle &adopted)
{
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
    profilePath = profile->path;

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
    for (const Active &active : std::as_const(actives)) {
        if (active.profilePath != profilePath)
            continue;
        if (active.state == nm::kActivated) {
            adopted = remember(active.path);
            qCDebug(lcDialup) << "already active, adopted" << active.path << "as" << adopted;
            return Success;
        }
        if (active.state == nm::kActivating)
            activePath = active.path;
    }
    return Success;
}

void NetworkManagerProvider::startDial(quintptr parentWindow, const QString &entry)
{
    Q_UNUSED(parentWindow) // NetworkManager shows nothing of its own for an unattended dial.
    abandonDial();
    m_dialing = true;
    m_entry = entry;
    const quint64 dial = ++m_dial;
    m_bound->startOnce(int(kDialBound.count()));
    qCDebug(lcDialup) << "dial" << entry;

    QString profilePath, activePath;
    Handle adopted = 0;
    const qint32 result = prepareDial(entry, profilePath, activePath, adopted);
    if (result != Success || adopted != 0) {
        finish(result, adopted);
        return;
    }
    // Subscribed before anything can change: no state change can slip between a read and
    // the subscription.
    if (!subscribe()) {
        finish(ServiceNotRunning);
        return;
    }
    m_calledActivate = activePath.isEmpty();
    if (!m_calledActivate) {
        qCDebug(lcDialup) << "joining activation under way" << activePath;
        watch(activePath);
        return;
    }
    QDBusMessage message =
        QDBusMessage::createMethodCall(nm::kService, nm::kManagerPath, nm::kManagerInterface,
                                       QStringLiteral("ActivateConnection"));
    message.setArguments({QVariant::fromValue(QDBusObjectPath(profilePath)),
                          QVariant::fromValue(QDBusObjectPath(QStringLiteral("/"))),
                          QVariant::fromValue(QDBusObjectPath(QStringLiteral("/")))});
    auto *watcher = new QDBusPendingCallWatcher(
        m_bus.asyncCall(message, static_cast<int>(kDialBound.count())), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, dial](QDBusPendingCallWatcher *w) {
                w->deleteLater();
                onActivated(dial, *w);
            });
}

void NetworkManagerProvider::onActivated(quint64 dial, const QDBusPendingCall &call)
{
    const QDBusMessage reply = call.reply();
    const bool ok = reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty();
    const QString activePath =
        ok ? fromDBus<QDBusObjectPath>(reply.arguments().constFirst()).path() : QString();
    if (dial != m_dial || !m_dialing) {
        // The bound ran out before NetworkManager answered: call the late activation off, so
        // that it does not come up behind the failure we reported. An abandoned dial (the
        // program is ending) is left alone.
        if (ok && m_timedOut.contains(dial))
            m_bus.asyncCall(QDBusMessage::createMethodCall(nm::kService, nm::kManagerPath,
                                                           nm::kManagerInterface,
                                                           QStringLiteral("DeactivateConnection"))
                            << QVariant::fromValue(QDBusObjectPath(activePath)));
        m_timedOut.remove(dial);
        return;
    }
    if (!ok) {
        qCDebug(lcDialup) << "ActivateConnection failed:" << reply.errorName()
                          << reply.errorMessage();
        finish(reply.type() == QDBusMessage::ErrorMessage ? resultForDBusError(reply.errorName())
                                                          : OtherDBusError);
        return;
    }
    qCDebug(lcDialup) << "activating" << m_entry << "as" << activePath;
    watch(activePath);
}

void NetworkManagerProvider::watch(const QString &activePath)
{
    m_watched = activePath;
    const auto seen = m_seen.constFind(activePath);
    if (seen != m_seen.constEnd()) {
        finish(seen->state == nm::kActivated ? Success : resultForDeactivation(seen->reason),
               seen->state == nm::kActivated ? remember(activePath) : 0);
        return;
    }
    // The subscription is in place, so the state read now cannot miss a later change.
    QDBusMessage message = QDBusMessage::createMethodCall(
        nm::kService, activePath, nm::kPropertiesInterface, QStringLiteral("Get"));
    message.setArguments({nm::kActiveInterface, QStringLiteral("State")});
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(message, kCallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, dial = m_dial](QDBusPendingCallWatcher *w) {
                w->deleteLater();
                onStateRead(dial, *w);
            });
}

void NetworkManagerProvider::onStateRead(quint64 dial, const QDBusPendingCall &call)
{
    if (dial != m_dial || !m_dialing)
        return;
    const QDBusMessage state = call.reply();
    const bool stateRead =
        state.type() == QDBusMessage::ReplyMessage && !state.arguments().isEmpty();
    const quint32 now = stateRead ? fromDBus<uint>(state.arguments().constFirst()) : 0;
    if (stateRead && now == nm::kActivated)
        finish(Success, remember(m_watched));
    // An activation we joined may have ended before we subscribed; its signal is gone.
    else if (!m_calledActivate && (!stateRead || now == nm::kDeactivated))
        finish(FailedWithoutReason);
    // Otherwise StateChanged or the bound ends the dial.
}

void NetworkManagerProvider::onStateChanged(uint state, uint reason, const QDBusMessage &message)
{
    qCDebug(lcDialup) << "StateChanged" << message.path() << "state" << state << "reason" << reason;
    if (!m_dialing || (state != nm::kActivated && state != nm::kDeactivated))
        return;
    m_seen.insert(message.path(), Outcome{state, reason});
    if (message.path() != m_watched)
        return;
    if (state == nm::kActivated)
        finish(Success, remember(m_watched));
    else
        finish(resultForDeactivation(reason));
}

void NetworkManagerProvider::onBound()
{
    if (!m_dialing)
        return;
    if (m_watched.isEmpty()) {
        // No answer to ActivateConnection yet: its reply, if it comes, is called off then.
        m_timedOut.insert(m_dial);
    } else {
        // Give up on it, so that it does not come up later behind a reported failure.
        qCDebug(lcDialup) << "no outcome in time, deactivating" << m_watched;
        m_bus.asyncCall(QDBusMessage::createMethodCall(nm::kService, nm::kManagerPath,
                                                       nm::kManagerInterface,
                                                       QStringLiteral("DeactivateConnection"))
                        << QVariant::fromValue(QDBusObjectPath(m_watched)));
    }
    finish(TimedOut);
}

bool NetworkManagerProvider::subscribe()
{
    if (m_subscribed)
        return true;
    // Every path: the new active connection's path is known only after the call.
    m_subscribed =
        m_bus.connect(nm::kService, QString(), nm::kActiveInterface, QStringLiteral("StateChanged"),
                      this, SLOT(onStateChanged(uint, uint, QDBusMessage)));
    if (!m_subscribed)
        qCDebug(lcDialup) << "cannot subscribe to StateChanged:" << m_bus.lastError().message();
    return m_subscribed;
}

void NetworkManagerProvider::unsubscribe()
{
    if (!m_subscribed)
        return;
    m_bus.disconnect(nm::kService, QString(), nm::kActiveInterface, QStringLiteral("StateChanged"),
                     this, SLOT(onStateChanged(uint, uint, QDBusMessage)));
    m_subscribed = false;
}

void NetworkManagerProvider::finish(qint32 result, Handle handle)
{
    qCDebug(lcDialup) << "dial" << m_entry << "->" << result << describe(result);
    m_dialing = false;
    m_bound->stop();
    unsubscribe();
    m_seen.clear();
    m_watched.clear();
    // Reported from the event loop: the caller goes on with its check, which may open a box,
    // and that never runs inside a D-Bus or timer handler, nor inside startDial().
    QMetaObject::invokeMethod(
        this,
        [this, dial = m_dial, result, handle] {
            if (dial == m_dial)
                emit dialFinished(result, handle);
        },
        Qt::QueuedConnection);
}

void NetworkManagerProvider::abandonDial()
{
    if (!m_dialing)
        return;
    qCDebug(lcDialup) << "dial" << m_entry << "abandoned";
    ++m_dial;
    m_dialing = false;
    m_bound->stop();
    unsubscribe();
    m_seen.clear();
    m_watched.clear();
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
