#include "ini_settings_store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

namespace ringlark {

namespace {
const QString kSection = QStringLiteral("STARTUP");
}

IniSettingsStore::IniSettingsStore()
    : m_settings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("TERNCALL"))
{
    restrictPermissions();
}

QString IniSettingsStore::read(const QString &key, const QString &defaultValue) const
{
    const QVariant value = m_settings.value(kSection + QLatin1Char('/') + key);
    if (!value.isValid())
        return defaultValue;
    // A hand-edited value with an unquoted comma comes back as a list; the text is what
    // the user wrote.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(','));
    return value.toString();
}

bool IniSettingsStore::write(const QString &key, const QString &value)
{
    // Qt writes a new file next to the old one and takes over the old file's mode; a file
    // that does not exist yet would be born readable by others. Make sure there is a private
    // one for it to copy first.
    const QString path = m_settings.fileName();
    if (!QFile::exists(path)) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly,
                      QFileDevice::ReadOwner | QFileDevice::WriteOwner))
            file.close();
    }
    restrictPermissions();
    m_settings.setValue(kSection + QLatin1Char('/') + key, value);
    // A LASTDATE that never reaches the disk would let the same trigger mail dial again
    // after an exit or a power cut, so the write is flushed at once.
    m_settings.sync();
    restrictPermissions();
    return m_settings.status() == QSettings::NoError;
}

void IniSettingsStore::restrictPermissions() const
{
    const QString path = m_settings.fileName();
    if (QFile::exists(path))
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

} // namespace ringlark
