#pragma once

#include "dialup_provider.h"
#include "timer.h"

#include <QDBusConnection>
#include <QElapsedTimer>
#include <QHash>
#include <QSet>
#include <QString>
#include <QThreadPool>

#include <chrono>

class QDBusMessage;
class QDBusPendingCall;

namespace ringlark {

// Dial-up on Linux: NetworkManager over the system bus. Entries are the profiles'
// connection.id values; a dial activates the profile and reports, through dialFinished,
// when the connection is up or has failed, within a bound. The handles it gives are its own
// small numbers for the active connections it made or adopted. Results are the numbers of
// dialup_result.h.
//
// The reads around a dial (the listing before it, permissions, profiles, active
// connections, the addresses the connection got) run on a worker thread as calls with a few
// seconds' bound each, and their results come back to the caller's thread; the activation
// itself, which can take a minute, is waited for through the event loop. Listing at start-up
// and hanging up are calls on the caller's thread with the same bound.
class NetworkManagerProvider final : public DialUpProvider
{
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds kDialBound = std::chrono::seconds(90);

    // The dial's bound comes from timers (empty: a real one). On the system bus, or on the
    // bus given (a test's own mock).
    explicit NetworkManagerProvider(const TimerFactory &timers = {}, QObject *parent = nullptr);
    NetworkManagerProvider(const QDBusConnection &bus, const TimerFactory &timers,
                           QObject *parent = nullptr);
    ~NetworkManagerProvider() override;

    QStringList listEntries() override;
    void listEntriesLater(QObject *context,
                          std::function<void(const QStringList &names)> done) override;
    void startDial(quintptr parentWindow, const QString &entry) override;
    void abandonDial() override;
    qint32 hangUp(Handle handle) override;
    bool remoteConnected() override;
    qint32 hangUpEntry(const QString &entry) override;
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

    QDBusMessage call(const QString &path, const QString &interface, const QString &method,
                      const QVariantList &args, int timeoutMs);
    qint32 readProfiles(QList<Profile> &profiles);
    // The names of a listing's profiles, noting its result for listProblem().
    QStringList listed(qint32 result, const QList<Profile> &profiles);
    qint32 readSettings(const QString &profilePath, QVariantMap &connection,
                        QVariantMap &bluetooth);
    qint32 readActiveConnections(QList<Active> &actives);
    Handle remember(const QString &activePath);

    // What the worker thread reads before a dial.
    struct Prepared
    {
        qint32 result = 0;
        QString profilePath;
        QList<Active> actives;
    };
    Prepared readBeforeDial(const QString &entry);
    QStringList readAddresses(const QString &activePath);

    // The steps of a dial, each one run when the previous one's answer has come.
    qint32 prepareDial(Prepared prepared, QString &activePath, QString &adoptedPath);
    void onPrepared(quint64 dial, const Prepared &prepared);
    // The connection is up: its addresses are read, then the dial is reported.
    void connected(const QString &activePath, bool adopted = false);
    void onActivated(quint64 dial, const QDBusPendingCall &reply);
    void watch(const QString &activePath);
    void onStateRead(quint64 dial, const QDBusPendingCall &reply);
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
    bool m_dialing = false;
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
    // Last: it goes first, waiting for its reads, which report to this object.
    QThreadPool m_readers;
};

} // namespace ringlark
