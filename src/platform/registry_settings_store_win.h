#pragma once

#include "settings_store.h"

namespace ringlark {

// HKEY_CURRENT_USER\Software\VB and VBA Program Settings\TERNCALL\STARTUP, one string value
// per key: where earlier Windows versions of this program kept their settings, so that an
// existing installation's settings are found as they are.
class RegistrySettingsStore final : public SettingsStore
{
public:
    QString read(const QString &key, const QString &defaultValue) const override;
    bool write(const QString &key, const QString &value) override;
    QString lastError() const override { return m_lastError; }

    static QString keyPath();

private:
    QString m_lastError;
};

} // namespace ringlark
