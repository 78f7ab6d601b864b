#pragma once

#include "settings_store.h"

#include <QSettings>

namespace ringlark {

// $XDG_CONFIG_HOME/TERNCALL.ini, section [STARTUP]. The file holds the POP3 password,
// so it is kept at mode 0600 after every write.
class IniSettingsStore final : public SettingsStore
{
public:
    IniSettingsStore();

    QString read(const QString &key, const QString &defaultValue) const override;
    bool write(const QString &key, const QString &value) override;
    QString lastError() const override { return m_lastError; }

    QString fileName() const { return m_settings.fileName(); }
    QString location() const override { return fileName(); }

private:
    void restrictPermissions() const;
    bool storedOnDisk(const QString &key, const QString &value) const;
    QString whyNotWritable() const;

    mutable QSettings m_settings;
    QString m_lastError;
};

} // namespace ringlark
