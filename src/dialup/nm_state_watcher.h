#pragma once

#include <QDBusConnection>
#include <QDeadlineTimer>
#include <QHash>
#include <QMutex>
#include <QObject>
#include <QSemaphore>
#include <QString>
#include <QThread>

#include <optional>

class QDBusMessage;

namespace ringlark::dialup {

// Where an active connection ended up: ACTIVATED (2) or DEACTIVATED (4), with the reason
// NetworkManager gave.
struct ActiveOutcome
{
    quint32 state = 0;
    quint32 reason = 0;
};

// Receives StateChanged of every active connection while a dial is under way. It lives in a
// worker thread, so it keeps receiving while the dialling thread is blocked, and it records
// outcomes by path: the signal for the new connection may arrive before the dialling
// thread has learnt the connection's path from ActivateConnection's reply.
class ActiveStateReceiver : public QObject
{
    Q_OBJECT
public:
    // Forgets earlier outcomes and starts recording.
    void arm();
    void disarm();
    // The path the dialling thread waits for; wakes it at once when the outcome is already in.
    void watch(const QString &path);
    // Blocks the calling thread until the watched path has an outcome or the deadline passes.
    bool waitForOutcome(QDeadlineTimer deadline);
    std::optional<ActiveOutcome> outcome() const;

public slots:
    void onStateChanged(uint state, uint reason, const QDBusMessage &message);

private:
    mutable QMutex m_mutex;
    QHash<QString, ActiveOutcome> m_seen;
    QString m_watched;
    bool m_armed = false;
    bool m_woken = false;
    QSemaphore m_done;
};

// A second bus connection subscribed to StateChanged, delivering to a receiver in its own
// thread. Kept apart from the connection that makes the calls, so that a blocked caller
// and the signal delivery never wait for each other.
class ActiveStateWatcher
{
public:
    ActiveStateWatcher();
    ~ActiveStateWatcher();
    ActiveStateWatcher(const ActiveStateWatcher &) = delete;
    ActiveStateWatcher &operator=(const ActiveStateWatcher &) = delete;

    bool isConnected() const { return m_bus.isConnected(); }
    // Arms the receiver and adds the match rule; returns once the bus has the rule.
    bool subscribe();
    void unsubscribe();
    ActiveStateReceiver &receiver() { return *m_receiver; }

private:
    QString m_name;
    QDBusConnection m_bus;
    QThread m_thread;
    ActiveStateReceiver *m_receiver;
    bool m_subscribed = false;
};

} // namespace ringlark::dialup
