#pragma once

#include "dialup_provider.h"
#include "timer.h"

#include <QDBusConnection>
#include <QElapsedTimer>
#include <QHash>
#include <QSet>
#include <QString>

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
// Everything runs on the caller's thread. The short reads before a dial (profiles, active
// connections) are calls with a few seconds' bound, like listing and hanging up; the
// activation itself, which can take a minute, is waited for through the event loop.
class NetworkManagerProvider final : public DialUpProvider
{
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds kDialBound = std::chrono::seconds(90);

    // The dial's bound comes from timers (empty: a real one).
    explicit NetworkManagerProvider(const TimerFactory &timers = {}, QObject *parent = nullptr);
    ~NetworkManagerProvider() override;

    QStringList listEntries() override;
    void startDial(quintptr parentWindow, const QString &entry) override;
    void abandonDial() override;
    qint32 hangUp(Handle handle) override;
    bool remoteConnected() override;

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
    qint32 readSettings(const QString &profilePath, QVariantMap &connection,
                        QVariantMap &bluetooth);
    qint32 readActiveConnections(QList<Active> &actives);
    Handle remember(const QString &activePath);

    // The steps of a dial, each one run when the previous one's answer has come.
    qint32 prepareDial(const QString &entry, QString &profilePath, QString &activePath,
                       Handle &adopted);
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
};

} // namespace ringlark
