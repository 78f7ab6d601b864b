#pragma once

#include <QDBusConnection>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <optional>

namespace ringlark::test {

// A private D-Bus bus with python-dbusmock's NetworkManager on it, set up by nm_mock.py with
// the profiles given (see that script for what the mock does). For tests, benchmarks and
// end-to-end checks:
//
//     NetworkManagerMock nm;
//     nm.addProfile({QStringLiteral("Office VPN"), QStringLiteral("vpn")});
//     QVERIFY2(nm.start(), qPrintable(nm.errorText()));
//     NetworkManagerProvider provider(nm.bus());
//
// (A program started by the test finds it through DBUS_SYSTEM_BUS_ADDRESS=busAddress().) Everything started is stopped by stop() or the destructor; the
// bus and the mock also end when the test process dies.
class NetworkManagerMock
{
public:
    struct Profile
    {
        QString id;
        QString type; // connection.type: vpn, pppoe, 802-3-ethernet, bluetooth, ...
        std::optional<quint32> failReason = std::nullopt; // activation ends DEACTIVATED
        bool hang = false;                                // activation stays ACTIVATING
        bool active = false;                              // already ACTIVATED at start
        bool dun = false;                                 // bluetooth.type "dun"
        int delayMs = 0;                                  // time spent ACTIVATING
        QString activateError = {}; // ActivateConnection fails with this D-Bus error name
    };
    struct Call
    {
        QVariantList args; // object paths come as their text
    };

    NetworkManagerMock() = default;
    ~NetworkManagerMock();
    NetworkManagerMock(const NetworkManagerMock &) = delete;
    NetworkManagerMock &operator=(const NetworkManagerMock &) = delete;

    // Before start(); NetworkManager lists them in this order.
    void addProfile(const Profile &profile) { m_profiles.append(profile); }

    // Starts the bus, and NetworkManager on it unless told not to; returns once all is
    // ready (false with errorText() on failure).
    bool start(bool withNetworkManager = true);
    void stop();

    QString busAddress() const { return m_address; }
    // This process's connection to the mock's bus, for the code under test.
    QDBusConnection bus() const { return QDBusConnection(m_connectionName); }
    QString errorText() const { return m_error; }
    // The settings object path of a profile, by id (the first of that id).
    QString profilePath(const QString &id) const;

    // What clients called on NetworkManager's manager object, by method name, oldest first.
    QList<Call> methodCalls(const QString &method) const;
    void clearCalls() const;
    // The manager's ActiveConnections property.
    QStringList activeConnections() const;
    // An active connection's State, or nullopt when it is gone.
    std::optional<quint32> activeState(const QString &activePath) const;
    // Starts activating a profile as another client would; returns the active connection's
    // path (empty on failure). Shows up in methodCalls().
    QString activate(const QString &id) const;
    // Creates a profile while the mock runs, as a user would in the network settings
    // (a plain one: it activates at once). Returns its path, empty on failure.
    QString addProfileNow(const QString &id, const QString &type);
    // Takes an active connection down as another client would.
    void deactivate(const QString &activePath) const;

private:
    QList<Profile> m_profiles;
    QList<std::pair<QString, QString>> m_paths; // (path, id)
    QProcess m_process;
    QString m_address;
    QString m_connectionName;
    QString m_error;
};

} // namespace ringlark::test
