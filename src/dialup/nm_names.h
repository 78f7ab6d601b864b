#pragma once

#include <QString>

// NetworkManager's D-Bus names and the values we read.
namespace ringlark::dialup::nm {

inline const QString kService = QStringLiteral("org.freedesktop.NetworkManager");
inline const QString kManagerPath = QStringLiteral("/org/freedesktop/NetworkManager");
inline const QString kManagerInterface = QStringLiteral("org.freedesktop.NetworkManager");
inline const QString kSettingsPath = QStringLiteral("/org/freedesktop/NetworkManager/Settings");
inline const QString kSettingsInterface = QStringLiteral("org.freedesktop.NetworkManager.Settings");
inline const QString kConnectionInterface =
    QStringLiteral("org.freedesktop.NetworkManager.Settings.Connection");
inline const QString kActiveInterface =
    QStringLiteral("org.freedesktop.NetworkManager.Connection.Active");
inline const QString kIp4ConfigInterface =
    QStringLiteral("org.freedesktop.NetworkManager.IP4Config");
inline const QString kIp6ConfigInterface =
    QStringLiteral("org.freedesktop.NetworkManager.IP6Config");
// GetPermissions' key for activating and deactivating connections.
inline const QString kNetworkControl =
    QStringLiteral("org.freedesktop.NetworkManager.network-control");
inline const QString kPropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");

// NMActiveConnectionState.
inline constexpr quint32 kActivating = 1;
inline constexpr quint32 kActivated = 2;
inline constexpr quint32 kDeactivating = 3;
inline constexpr quint32 kDeactivated = 4;

} // namespace ringlark::dialup::nm
