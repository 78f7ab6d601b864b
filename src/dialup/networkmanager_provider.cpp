#include "networkmanager_provider.h"

#include "dialup_result.h"
#include "log_categories.h"
#include "nm_names.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QPointer>

#include <algorithm>
#include <memory>

namespace ringlark {

using namespace dialup;

namespace {

using SettingsMap = QMap<QString, QVariantMap>;

// Reads and deactivation are quick in NetworkManager; a daemon that takes longer is stuck,
// and nothing that waits for its answer should wait longer than this.
constexpr int kCallTimeoutMs = 5000;

bool isRemoteType(const QString &type)
{
    static const QStringList kTypes = {
        QStringLiteral("pppoe"), QStringLiteral("gsm"), QStringLiteral("cdma"),
        QStringLiteral("adsl"),  QStringLiteral("vpn"), QStringLiteral("wireguard"),
    };
    return kTypes.contains(type);
}

bool answered(const QDBusMessage &reply)
{
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty();
}

qint32 failureOf(const QDBusMessage &reply)
{
    return reply.type() == QDBusMessage::ErrorMessage ? resultForDBusError(reply.errorName())
                                                      : OtherDBusError;
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

NetworkManagerProvider::NetworkManagerProvider(const QDBusConnection &bus,
                                               const TimerFactory &timers, QObject *parent)
    : DialUpProvider(parent), m_bus(bus), m_bound(makeTimer(timers))
{
    qDBusRegisterMetaType<SettingsMap>();
    connect(m_bound.get(), &Timer::timeout, this, &NetworkManagerProvider::onBound);
}

NetworkManagerProvider::~NetworkManagerProvider()
{
    abandonDial();
}

void NetworkManagerProvider::send(const QDBusMessage &message, int timeoutMs, Reply then)
{
    const QDBusPendingCall pending = m_bus.asyncCall(message, timeoutMs);
    auto answer = [then = std::move(then), message](const QDBusMessage &reply) {
        if (reply.type() == QDBusMessage::ErrorMessage)
            qCDebug(lcDialup) << message.member() << message.path()
                              << "failed:" << reply.errorName() << reply.errorMessage();
        then(reply);
    };
    // No bus: nothing was sent, and a watcher would never hear back. The error comes the
    // same way as a reply would.
    if (!m_bus.isConnected()) {
        QMetaObject::invokeMethod(
            this, [answer = std::move(answer), reply = pending.reply()] { answer(reply); },
            Qt::QueuedConnection);
        return;
    }
    // Owned by this object: a reply that comes after it is gone finds nobody to call.
    auto *watcher = new QDBusPendingCallWatcher(pending, this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [answer = std::move(answer)](QDBusPendingCallWatcher *w) {
                w->deleteLater();
                answer(w->reply());
            });
}

void NetworkManagerProvider::ask(const Call &call, Reply then)
{
    QDBusMessage message =
        QDBusMessage::createMethodCall(nm::kService, call.path, call.interface, call.method);
    message.setArguments(call.args);
    send(message, kCallTimeoutMs, std::move(then));
}

void NetworkManagerProvider::askAll(const QList<Call> &calls,
                                    std::function<void(const QList<QDBusMessage> &)> then)
{
    if (calls.isEmpty()) {
        then({});
        return;
    }
    struct Gathered
    {
        QList<QDBusMessage> replies;
        qsizetype missing = 0;
        std::function<void(const QList<QDBusMessage> &)> then;
    };
    auto gathered = std::make_shared<Gathered>();
    gathered->replies.resize(calls.size());
    gathered->missing = calls.size();
    gathered->then = std::move(then);
    for (qsizetype i = 0; i < calls.size(); ++i)
        ask(calls.at(i), [gathered, i](const QDBusMessage &reply) {
            gathered->replies[i] = reply;
            if (--gathered->missing == 0)
                gathered->then(gathered->replies);
        });
}

void NetworkManagerProvider::askEach(const Call &list,
                                     std::function<Call(const QString &path)> each, EachReply then)
{
    ask(list, [this, each = std::move(each), then = std::move(then)](const QDBusMessage &reply) {
        if (!answered(reply)) {
            then(failureOf(reply), {}, {});
            return;
        }
        const auto paths = fromDBus<QList<QDBusObjectPath>>(reply.arguments().constFirst());
        QList<Call> calls;
        for (const QDBusObjectPath &path : paths)
            calls.append(each(path.path()));
        askAll(calls, [paths, then](const QList<QDBusMessage> &replies) {
            then(Success, paths, replies);
        });
    });
}

void NetworkManagerProvider::readProfiles(std::function<void(qint32, const QList<Profile> &)> then)
{
    askEach(
        {nm::kSettingsPath, nm::kSettingsInterface, QStringLiteral("ListConnections")},
        [](const QString &path) {
            return Call{path, nm::kConnectionInterface, QStringLiteral("GetSettings")};
        },
        [then](qint32 result, const QList<QDBusObjectPath> &paths,
               const QList<QDBusMessage> &settings) {
            QList<Profile> profiles;
            for (qsizetype i = 0; i < settings.size(); ++i) {
                if (!answered(settings.at(i))) {
                    result = failureOf(settings.at(i));
                    if (result == ServiceNotRunning || result == NoReply)
                        break;
                    // A profile that vanished or that we may not read is simply not offered.
                    result = Success;
                    continue;
                }
                const auto values = fromDBus<SettingsMap>(settings.at(i).arguments().constFirst());
                profiles.append({paths.at(i).path(), values.value(QStringLiteral("connection"))
                                                         .value(QStringLiteral("id"))
                                                         .toString()});
            }
            then(result, result == Success ? profiles : QList<Profile>());
        });
}

void NetworkManagerProvider::readActiveConnections(
    std::function<void(qint32, const QList<Active> &)> then)
{
    askEach(
        {nm::kManagerPath,
         nm::kPropertiesInterface,
         QStringLiteral("Get"),
         {nm::kManagerInterface, QStringLiteral("ActiveConnections")}},
        [](const QString &path) {
            return Call{
                path, nm::kPropertiesInterface, QStringLiteral("GetAll"), {nm::kActiveInterface}};
        },
        [then](qint32 result, const QList<QDBusObjectPath> &paths,
               const QList<QDBusMessage> &properties) {
            QList<Active> actives;
            for (qsizetype i = 0; i < properties.size(); ++i) {
                // Active connections come and go while we read; one that is gone is skipped.
                if (!answered(properties.at(i)))
                    continue;
                const auto values =
                    fromDBus<QVariantMap>(properties.at(i).arguments().constFirst());
                Active active;
                active.path = paths.at(i).path();
                active.profilePath =
                    fromDBus<QDBusObjectPath>(values.value(QStringLiteral("Connection"))).path();
                active.type = values.value(QStringLiteral("Type")).toString();
                active.state = values.value(QStringLiteral("State")).toUInt();
                actives.append(active);
            }
            then(result, actives);
        });
}

void NetworkManagerProvider::readAddresses(const QString &activePath,
                                           std::function<void(const QStringList &)> then)
{
    const std::pair<QString, QString> families[] = {
        {QStringLiteral("Ip4Config"), nm::kIp4ConfigInterface},
        {QStringLiteral("Ip6Config"), nm::kIp6ConfigInterface}};
    QList<Call> configs;
    for (const auto &[property, interface] : families)
        configs.append({activePath,
                        nm::kPropertiesInterface,
                        QStringLiteral("Get"),
                        {nm::kActiveInterface, property}});
    askAll(configs, [this, families, then = std::move(then)](const QList<QDBusMessage> &paths) {
        QList<Call> data;
        for (qsizetype i = 0; i < paths.size(); ++i) {
            if (!answered(paths.at(i)))
                continue;
            const QString path =
                fromDBus<QDBusObjectPath>(paths.at(i).arguments().constFirst()).path();
            if (path.isEmpty() || path == QLatin1StringView("/"))
                continue;
            data.append({path,
                         nm::kPropertiesInterface,
                         QStringLiteral("Get"),
                         {families[i].second, QStringLiteral("AddressData")}});
        }
        askAll(data, [then](const QList<QDBusMessage> &replies) {
            QStringList addresses;
            for (const QDBusMessage &reply : replies) {
                if (!answered(reply))
                    continue;
                const auto entries = fromDBus<QList<QVariantMap>>(reply.arguments().constFirst());
                for (const QVariantMap &entry : entries)
                    addresses.append(
                        fromDBus<QString>(entry.value(QStringLiteral("address"))) + u'/' +
                        QString::number(fromDBus<uint>(entry.value(QStringLiteral("prefix")))));
            }
            then(addresses);
        });
    });
}

void NetworkManagerProvider::deactivate(const QString &activePath, std::function<void(qint32)> then)
{
    ask({nm::kManagerPath,
         nm::kManagerInterface,
         QStringLiteral("DeactivateConnection"),
         {QVariant::fromValue(QDBusObjectPath(activePath))}},
        [activePath, then = std::move(then)](const QDBusMessage &reply) {
            const qint32 result = reply.type() == QDBusMessage::ReplyMessage
                                      ? Success
                                      : resultForDBusError(reply.errorName());
            qCDebug(lcDialup) << "hang-up" << activePath << "->" << result << describe(result);
            if (then)
                then(result);
        });
}

void NetworkManagerProvider::listEntries(QObject *context,
                                         std::function<void(const QStringList &)> done)
{
    readProfiles([this, context = QPointer<QObject>(context),
                  done = std::move(done)](qint32 result, const QList<Profile> &profiles) {
        const QStringList names = listed(result, profiles);
        if (context && done)
            done(names);
    });
}

QStringList NetworkManagerProvider::listed(qint32 result, const QList<Profile> &profiles)
{
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

void NetworkManagerProvider::forget(const QString &activePath)
{
    for (const Handle handle : m_active.keys(activePath)) {
        m_addresses.remove(handle);
        m_adopted.remove(handle);
        m_active.remove(handle);
    }
}

void NetworkManagerProvider::startDial(quintptr parentWindow, const QString &entry)
{
    Q_UNUSED(parentWindow) // NetworkManager shows nothing of its own for an unattended dial.
    abandonDial();
    m_step = DialStep::Preparing;
    m_entry = entry;
    m_bound->startOnce(int(kDialBound.count()));
    qCDebug(lcDialup) << "dial" << entry;
    prepare(++m_dial);
}

void NetworkManagerProvider::prepare(quint64 dial)
{
    // A user who may not control networking gets a refusal from NetworkManager after a
    // wait; asking first lets the log say why at once.
    ask({nm::kManagerPath, nm::kManagerInterface, QStringLiteral("GetPermissions")},
        [this, dial](const QDBusMessage &permissions) {
            if (!current(dial))
                return;
            if (answered(permissions)) {
                const auto values =
                    fromDBus<QMap<QString, QString>>(permissions.arguments().constFirst());
                const QString control = values.value(nm::kNetworkControl);
                qCDebug(lcDialup) << "network-control:" << control;
                // "auth" needs a polkit agent to ask someone; the activation will tell
                // whether one answered.
                if (control == QLatin1StringView("no")) {
                    finish(PermissionDenied);
                    return;
                }
            }
            readProfiles([this, dial](qint32 result, const QList<Profile> &profiles) {
                if (!current(dial))
                    return;
                if (result != Success) {
                    finish(result);
                    return;
                }
                // With several profiles of one name, the first in NetworkManager's order is
                // the entry.
                const auto profile =
                    std::find_if(profiles.cbegin(), profiles.cend(),
                                 [this](const Profile &p) { return p.id == m_entry; });
                if (profile == profiles.cend()) {
                    qCDebug(lcDialup) << "no profile named" << m_entry;
                    finish(UnknownConnection);
                    return;
                }
                readActiveConnections([this, dial, profilePath = profile->path](
                                          qint32 read, const QList<Active> &actives) {
                    if (!current(dial))
                        return;
                    if (read != Success)
                        finish(read);
                    else
                        onPrepared(profilePath, actives);
                });
            });
        });
}

void NetworkManagerProvider::onPrepared(const QString &profilePath, const QList<Active> &actives)
{
    // Forget handles of connections that went down meanwhile (hung up from outside, a line
    // that dropped): over weeks of unattended dials they would only pile up. Hanging one up
    // reports "not active", as it would have anyway.
    m_active.removeIf([&actives](const auto &handleAndPath) {
        return std::none_of(actives.cbegin(), actives.cend(),
                            [&](const Active &a) { return a.path == handleAndPath.value(); });
    });
    m_addresses.removeIf([this](const auto &entry) { return !m_active.contains(entry.key()); });
    m_adopted.removeIf([this](const Handle handle) { return !m_active.contains(handle); });
    // Activating a profile that is already up would take it down and up again and cut a
    // remote session that runs over it. Adopt it instead; join one that is coming up.
    QString activePath;
    for (const Active &active : actives) {
        if (active.profilePath != profilePath)
            continue;
        if (active.state == nm::kActivated) {
            qCDebug(lcDialup) << "already active, adopting" << active.path;
            connected(active.path, true);
            return;
        }
        if (active.state == nm::kActivating)
            activePath = active.path;
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
    m_step = DialStep::Activating;
    QDBusMessage message =
        QDBusMessage::createMethodCall(nm::kService, nm::kManagerPath, nm::kManagerInterface,
                                       QStringLiteral("ActivateConnection"));
    message.setArguments({QVariant::fromValue(QDBusObjectPath(profilePath)),
                          QVariant::fromValue(QDBusObjectPath(QStringLiteral("/"))),
                          QVariant::fromValue(QDBusObjectPath(QStringLiteral("/")))});
    send(message, static_cast<int>(kDialBound.count()),
         [this, dial = m_dial](const QDBusMessage &reply) { onActivated(dial, reply); });
}

void NetworkManagerProvider::connected(const QString &activePath, bool adopted)
{
    // The connection is up, and its IP configuration with it: NetworkManager reports
    // ACTIVATED once addresses are set. Read them for the log and the reply. The dial's bound
    // is over: what is up stays up, and these reads have bounds of their own.
    m_step = DialStep::Addresses;
    m_bound->stop();
    readAddresses(activePath,
                  [this, dial = m_dial, activePath, adopted](const QStringList &addresses) {
                      if (!current(dial))
                          return;
                      const Handle handle = remember(activePath);
                      m_addresses.insert(handle, addresses);
                      if (adopted)
                          m_adopted.insert(handle);
                      qCDebug(lcDialup) << activePath << "is" << handle << "with" << addresses;
                      finish(Success, handle);
                  });
}

void NetworkManagerProvider::onActivated(quint64 dial, const QDBusMessage &reply)
{
    const bool ok = answered(reply);
    const QString activePath =
        ok ? fromDBus<QDBusObjectPath>(reply.arguments().constFirst()).path() : QString();
    if (!current(dial)) {
        // The bound ran out before NetworkManager answered: call the late activation off, so
        // that it does not come up behind the failure we reported. An abandoned dial (the
        // program is ending) is left alone.
        if (ok && m_timedOut.contains(dial))
            deactivate(activePath, {});
        m_timedOut.remove(dial);
        return;
    }
    if (!ok) {
        finish(failureOf(reply));
        return;
    }
    qCDebug(lcDialup) << "activating" << m_entry << "as" << activePath;
    watch(activePath);
}

void NetworkManagerProvider::watch(const QString &activePath)
{
    m_step = DialStep::Watching;
    m_watched = activePath;
    const auto seen = m_seen.constFind(activePath);
    if (seen != m_seen.constEnd()) {
        if (seen->state == nm::kActivated)
            connected(activePath);
        else
            finish(resultForDeactivation(seen->reason));
        return;
    }
    // The subscription is in place, so the state read now cannot miss a later change.
    ask({activePath,
         nm::kPropertiesInterface,
         QStringLiteral("Get"),
         {nm::kActiveInterface, QStringLiteral("State")}},
        [this, dial = m_dial](const QDBusMessage &state) { onStateRead(dial, state); });
}

void NetworkManagerProvider::onStateRead(quint64 dial, const QDBusMessage &state)
{
    if (!current(dial) || m_step != DialStep::Watching)
        return;
    const bool stateRead = answered(state);
    const quint32 now = stateRead ? fromDBus<uint>(state.arguments().constFirst()) : 0;
    if (stateRead && now == nm::kActivated)
        connected(m_watched);
    // An activation we joined may have ended before we subscribed; its signal is gone.
    else if (!m_calledActivate && (!stateRead || now == nm::kDeactivated))
        finish(FailedWithoutReason);
    // Otherwise StateChanged or the bound ends the dial.
}

void NetworkManagerProvider::onStateChanged(uint state, uint reason, const QDBusMessage &message)
{
    qCDebug(lcDialup) << "StateChanged" << message.path() << "state" << state << "reason" << reason;
    if (m_step == DialStep::Idle || (state != nm::kActivated && state != nm::kDeactivated))
        return;
    m_seen.insert(message.path(), Outcome{state, reason});
    if (m_step != DialStep::Watching || message.path() != m_watched)
        return;
    if (state == nm::kActivated)
        connected(m_watched);
    else
        finish(resultForDeactivation(reason));
}

void NetworkManagerProvider::onBound()
{
    if (m_step == DialStep::Activating) {
        // No answer to ActivateConnection yet: its reply, if it comes, is called off then.
        m_timedOut.insert(m_dial);
    } else if (m_step == DialStep::Watching) {
        // Give up on it, so that it does not come up later behind a reported failure.
        qCDebug(lcDialup) << "no outcome in time, deactivating" << m_watched;
        deactivate(m_watched, {});
    } else if (m_step != DialStep::Preparing) {
        return;
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
    m_step = DialStep::Idle;
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
    if (m_step == DialStep::Idle)
        return;
    qCDebug(lcDialup) << "dial" << m_entry << "abandoned";
    ++m_dial;
    m_step = DialStep::Idle;
    m_bound->stop();
    unsubscribe();
    m_seen.clear();
    m_watched.clear();
}

void NetworkManagerProvider::hangUp(Handle handle, QObject *context,
                                    std::function<void(qint32)> done)
{
    m_addresses.remove(handle);
    m_adopted.remove(handle);
    const QString path = m_active.take(handle);
    if (path.isEmpty()) {
        qCDebug(lcDialup) << "hang-up of unknown handle" << handle;
        answerLater(context, std::move(done), qint32(NotActive));
        return;
    }
    deactivate(path, [context = QPointer<QObject>(context), done = std::move(done)](qint32 result) {
        if (context && done)
            done(result);
    });
}

void NetworkManagerProvider::hangUpEntry(const QString &entry, QObject *context,
                                         std::function<void(qint32)> done)
{
    // Whatever comes of it, the answer goes to the asker while it is there.
    auto answer = [context = QPointer<QObject>(context), done = std::move(done)](qint32 result) {
        if (context && done)
            done(result);
    };
    readProfiles([this, entry, answer](qint32 result, const QList<Profile> &profiles) {
        if (result != Success) {
            answer(result);
            return;
        }
        const auto profile = std::find_if(profiles.cbegin(), profiles.cend(),
                                          [&](const Profile &p) { return p.id == entry; });
        if (profile == profiles.cend()) {
            answer(UnknownConnection);
            return;
        }
        readActiveConnections([this, entry, answer, profilePath = profile->path](
                                  qint32 read, const QList<Active> &actives) {
            if (read != Success) {
                answer(read);
                return;
            }
            const auto active =
                std::find_if(actives.cbegin(), actives.cend(), [&](const Active &a) {
                    return a.profilePath == profilePath &&
                           (a.state == nm::kActivated || a.state == nm::kActivating);
                });
            if (active == actives.cend()) {
                answer(-1);
                return;
            }
            // Whatever handle of ours named it names nothing now.
            forget(active->path);
            qCDebug(lcDialup) << "hang-up of" << entry;
            deactivate(active->path, answer);
        });
    });
}

void NetworkManagerProvider::remoteConnected(QObject *context, std::function<void(bool)> done)
{
    readActiveConnections([this, context = QPointer<QObject>(context),
                           done = std::move(done)](qint32 result, const QList<Active> &actives) {
        bool remote = false;
        QList<Call> bluetooth;
        for (const Active &active : actives) {
            if (active.state != nm::kActivated)
                continue;
            remote = remote || isRemoteType(active.type);
            if (active.type == QLatin1String("bluetooth"))
                bluetooth.append(
                    {active.profilePath, nm::kConnectionInterface, QStringLiteral("GetSettings")});
        }
        if (result != Success || remote || bluetooth.isEmpty()) {
            if (context && done)
                done(result == Success && remote);
            return;
        }
        // Bluetooth is remote only as dial-up networking, not as a personal-area network.
        askAll(bluetooth, [context, done](const QList<QDBusMessage> &settings) {
            const bool dun = std::any_of(settings.cbegin(), settings.cend(), [](const auto &reply) {
                return answered(reply) && fromDBus<SettingsMap>(reply.arguments().constFirst())
                                                  .value(QStringLiteral("bluetooth"))
                                                  .value(QStringLiteral("type"))
                                                  .toString() == QLatin1String("dun");
            });
            if (context && done)
                done(dun);
        });
    });
}

} // namespace ringlark
