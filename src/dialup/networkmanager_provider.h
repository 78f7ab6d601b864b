#pragma once

#include "dialup_provider.h"

#include <QDBusConnection>
#include <QDeadlineTimer>
#include <QHash>
#include <QString>

#include <chrono>
#include <memory>

class QDBusMessage;

namespace ringlark {

namespace dialup {
class ActiveStateWatcher;
}

// Dial-up on Linux: NetworkManager over the system bus. Entries are the profiles'
// connection.id values; a dial activates the profile and blocks the calling thread, without
// an event loop, until the connection is up or has failed, within a bound. The handles it
// gives are its own small numbers for the active connections it made or adopted. Results
// are the numbers of dialup_result.h.
class NetworkManagerProvider final : public DialUpProvider
{
public:
    explicit NetworkManagerProvider(std::chrono::milliseconds dialBound = std::chrono::seconds(90));
    ~NetworkManagerProvider() override;
    NetworkManagerProvider(const NetworkManagerProvider &) = delete;
    NetworkManagerProvider &operator=(const NetworkManagerProvider &) = delete;

    QStringList listEntries() override;
    qint32 dial(quintptr parentWindow, const QString &entry, Handle &handle) override;
    qint32 hangUp(Handle handle) override;
    bool remoteConnected() override;

    // The active connection's object path behind a handle; empty when the handle is unknown.
    QString activeConnectionPath(Handle handle) const { return m_active.value(handle); }

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

    QDBusMessage call(const QString &path, const QString &interface, const QString &method,
                      const QVariantList &args, int timeoutMs);
    qint32 readProfiles(QList<Profile> &profiles);
    qint32 readSettings(const QString &profilePath, QVariantMap &connection,
                        QVariantMap &bluetooth);
    qint32 readActiveConnections(QList<Active> &actives);
    qint32 waitForOutcome(const QString &activePath, bool calledActivate, QDeadlineTimer deadline);
    Handle remember(const QString &activePath);

    QDBusConnection m_bus;
    std::chrono::milliseconds m_dialBound;
    QHash<Handle, QString> m_active;
    Handle m_nextHandle = 1;
    std::unique_ptr<dialup::ActiveStateWatcher> m_watcher;
};

} // namespace ringlark
