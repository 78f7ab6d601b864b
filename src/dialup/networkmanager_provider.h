#pragma once

#include "dialup_provider.h"
#include "timer.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QHash>
#include <QSet>
#include <QString>
#include <QVariantList>

#include <chrono>
#include <functional>
#include <memory>

class QDBusMessage;

namespace ringlark {

// Dial-up on Linux: NetworkManager over D-Bus. Entries are the profiles' connection.id
// values; a dial activates the profile and reports, through dialFinished, when the connection
// is up or has failed, within a bound. The handles it gives are its own small numbers for the
// active connections it made or adopted. Results are the numbers of dialup_result.h.
//
// Nothing here waits for NetworkManager: every call is sent, and its reply taken up when it
// comes through the event loop. Each call has a bound of a few seconds, so that a stuck
// daemon gives a "no reply" rather than a dial or a hang-up that never ends; the activation
// itself, which can take a minute, is bounded by kDialBound.
class NetworkManagerProvider final : public DialUpProvider
{
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds kDialBound = std::chrono::seconds(90);

    // Where a dial stands; each step ends when NetworkManager's answer has come.
    enum class DialStep
    {
        Idle,
        Preparing,  // permissions, the profile and the active connections are read
        Activating, // ActivateConnection is called and not yet answered
        Watching,   // the active connection's state is followed to its outcome
        Addresses,  // up: the addresses it got are read, then the dial is reported
    };

    // NetworkManager on `bus` (the system bus, or a test's own); the dial's bound comes from
    // timers (empty: a real one).
    explicit NetworkManagerProvider(const QDBusConnection &bus, const TimerFactory &timers = {},
                                    QObject *parent = nullptr);
    ~NetworkManagerProvider() override;

    void listEntries(QObject *context, std::function<void(const QStringList &names)> done) override;
    void startDial(quintptr parentWindow, const QString &entry) override;
    void abandonDial() override;
    void hangUp(Handle handle, QObject *context, std::function<void(qint32 result)> done) override;
    void remoteConnected(QObject *context, std::function<void(bool connected)> done) override;
    void hangUpEntry(const QString &entry, QObject *context,
                     std::function<void(qint32 result)> done) override;
    QStringList addresses(Handle handle) const override { return m_addresses.value(handle); }
    bool upBeforeDial(Handle handle) const override { return m_adopted.contains(handle); }

    QString listProblem() const override;

    // The active connection's object path behind a handle; empty when the handle is unknown.
    QString activeConnectionPath(Handle handle) const { return m_active.value(handle); }
    Timer &dialBound() { return *m_bound; }

private slots:
    void onStateChanged(uint state, uint reason, const QDBusMessage &message);

private:
    struct Profile
    {
        QString path;
        QString id;
    };
    struct Active
    {
        QString path;
        QString profilePath;
        QString type;
        quint32 state = 0;
    };
    struct Outcome
    {
        quint32 state = 0;
        quint32 reason = 0;
    };
    struct Call
    {
        QString path;
        QString interface;
        QString method;
        QVariantList args = {};
    };
    using Reply = std::function<void(const QDBusMessage &reply)>;

    // Sends a message; `then` runs with its reply (an error one when the bound passed or there
    // is no bus), from the event loop, unless this object is gone.
    void send(const QDBusMessage &message, int timeoutMs, Reply then);
    // Sends a call with the bound for reads; `then` runs with its reply (an error one when
    // the bound passed), from the event loop, unless this object is gone.
    void ask(const Call &call, Reply then);
    // Several calls at once; `then` gets their replies in the order asked, once all are in.
    void askAll(const QList<Call> &calls, std::function<void(const QList<QDBusMessage> &)> then);
    // Asks `list` for object paths, then each path `each(path)`; `then` gets the list's
    // failure (and nothing else), or Success with the paths and their replies in order.
    using EachReply = std::function<void(qint32 result, const QList<QDBusObjectPath> &paths,
                                         const QList<QDBusMessage> &replies)>;
    void askEach(const Call &list, std::function<Call(const QString &path)> each, EachReply then);
    void readProfiles(std::function<void(qint32 result, const QList<Profile> &)> then);
    void readActiveConnections(std::function<void(qint32 result, const QList<Active> &)> then);
    void readAddresses(const QString &activePath, std::function<void(const QStringList &)> then);
    void deactivate(const QString &activePath, std::function<void(qint32 result)> then);
    // The names of a listing's profiles, noting its result for listProblem().
    QStringList listed(qint32 result, const QList<Profile> &profiles);
    Handle remember(const QString &activePath);
    // Forgets whatever handle of ours names this active connection.
    void forget(const QString &activePath);

    // The steps of a dial, each one run when the previous one's answer has come.
    bool current(quint64 dial) const { return dial == m_dial && m_step != DialStep::Idle; }
    void prepare(quint64 dial);
    void onPrepared(const QString &profilePath, const QList<Active> &actives);
    // The connection is up: its addresses are read, then the dial is reported.
    void connected(const QString &activePath, bool adopted = false);
    void onActivated(quint64 dial, const QDBusMessage &reply);
    void watch(const QString &activePath);
    void onStateRead(quint64 dial, const QDBusMessage &state);
    void onBound();
    bool subscribe();
    void unsubscribe();
    // Ends the dial under way and reports it from the event loop.
    void finish(qint32 result, Handle handle = 0);

    QDBusConnection m_bus;
    QHash<Handle, QString> m_active;
    QHash<Handle, QStringList> m_addresses;
    QSet<Handle> m_adopted;
    Handle m_nextHandle = 1;
    qint32 m_lastListResult = 0;

    // The dial under way. Every dial has its own number, so that answers to an abandoned or
    // timed-out one are recognised and dropped.
    quint64 m_dial = 0;
    DialStep m_step = DialStep::Idle;
    bool m_calledActivate = false;
    bool m_subscribed = false;
    QString m_entry;
    QString m_watched;
    // Outcomes by path: the signal for the new connection may come before the reply that
    // tells its path.
    QHash<QString, Outcome> m_seen;
    std::unique_ptr<Timer> m_bound;
    // Dials whose bound ran out before ActivateConnection was answered.
    QSet<quint64> m_timedOut;
};

} // namespace ringlark
