#include "registry_settings_store_win.h"

#include <QSettings>

namespace ringlark {

QString RegistrySettingsStore::keyPath()
{
    return QStringLiteral(
        "HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\TERNCALL\\STARTUP");
}

QString RegistrySettingsStore::read(const QString &key, const QString &defaultValue) const
{
    const QSettings settings(keyPath(), QSettings::NativeFormat);
    const QVariant value = settings.value(key);
    return value.isValid() ? value.toString() : defaultValue;
}

bool RegistrySettingsStore::write(const QString &key, const QString &value)
{
    // A fresh object per write: QSettings keeps the first error it met, and one refused
    // write must not make every later one look refused too.
    QSettings settings(keyPath(), QSettings::NativeFormat);
    settings.setValue(key, value);
    settings.sync();
    if (settings.status() == QSettings::NoError) {
        m_lastError.clear();
        return true;
    }
    m_lastError = keyPath() + QStringLiteral(": ") +
                  (settings.status() == QSettings::AccessError
                       ? QStringLiteral("access to the registry key was refused")
                       : QStringLiteral("the registry key could not be written"));
    return false;
}

std::unique_ptr<SettingsStore> makeDefaultSettingsStore()
{
    return std::make_unique<RegistrySettingsStore>();
}

} // namespace ringlark
