#include "nm_state_watcher.h"

#include "log_categories.h"
#include "nm_names.h"

#include <QDBusMessage>
#include <QMutexLocker>
#include <QUuid>

#include <algorithm>
#include <limits>

namespace ringlark::dialup {

void ActiveStateReceiver::arm()
{
    QMutexLocker lock(&m_mutex);
    m_seen.clear();
    m_watched.clear();
    m_woken = false;
    m_done.tryAcquire(m_done.available());
    m_armed = true;
}

void ActiveStateReceiver::disarm()
{
    QMutexLocker lock(&m_mutex);
    m_armed = false;
    m_seen.clear();
    m_watched.clear();
}

void ActiveStateReceiver::watch(const QString &path)
{
    QMutexLocker lock(&m_mutex);
    m_watched = path;
    if (m_seen.contains(path) && !m_woken) {
        m_woken = true;
        m_done.release();
    }
}

bool ActiveStateReceiver::waitForOutcome(QDeadlineTimer deadline)
{
    const qint64 remaining =
        std::clamp<qint64>(deadline.remainingTime(), 0, std::numeric_limits<int>::max());
    return m_done.tryAcquire(1, static_cast<int>(remaining));
}

std::optional<ActiveOutcome> ActiveStateReceiver::outcome() const
{
    QMutexLocker lock(&m_mutex);
    const auto it = m_seen.constFind(m_watched);
    if (it == m_seen.constEnd())
        return std::nullopt;
    return *it;
}

void ActiveStateReceiver::onStateChanged(uint state, uint reason, const QDBusMessage &message)
{
    qCDebug(lcDialup) << "StateChanged" << message.path() << "state" << state << "reason" << reason;
    if (state != nm::kActivated && state != nm::kDeactivated)
        return;
    QMutexLocker lock(&m_mutex);
    if (!m_armed)
        return;
    m_seen.insert(message.path(), ActiveOutcome{state, reason});
    if (message.path() == m_watched && !m_woken) {
        m_woken = true;
        m_done.release();
    }
}

ActiveStateWatcher::ActiveStateWatcher()
    : m_name(QStringLiteral("ringlark-nm-watch-") + QUuid::createUuid().toString(QUuid::Id128)),
      m_bus(QDBusConnection::connectToBus(QDBusConnection::SystemBus, m_name)),
      m_receiver(new ActiveStateReceiver)
{
    m_thread.setObjectName(QStringLiteral("ringlark-nm-watch"));
    m_receiver->moveToThread(&m_thread);
    m_thread.start();
}

ActiveStateWatcher::~ActiveStateWatcher()
{
    unsubscribe();
    QDBusConnection::disconnectFromBus(m_name);
    m_thread.quit();
    m_thread.wait();
    // The thread has ended: nothing can be delivered to the receiver any more.
    delete m_receiver;
}

bool ActiveStateWatcher::subscribe()
{
    m_receiver->arm();
    if (m_subscribed)
        return true;
    // Every path: the new active connection's path is known only after the call.
    m_subscribed =
        m_bus.connect(nm::kService, QString(), nm::kActiveInterface, QStringLiteral("StateChanged"),
                      m_receiver, SLOT(onStateChanged(uint, uint, QDBusMessage)));
    if (!m_subscribed)
        qCDebug(lcDialup) << "cannot subscribe to StateChanged:" << m_bus.lastError().message();
    return m_subscribed;
}

void ActiveStateWatcher::unsubscribe()
{
    m_receiver->disarm();
    if (!m_subscribed)
        return;
    m_bus.disconnect(nm::kService, QString(), nm::kActiveInterface, QStringLiteral("StateChanged"),
                     m_receiver, SLOT(onStateChanged(uint, uint, QDBusMessage)));
    m_subscribed = false;
}

} // namespace ringlark::dialup
