#include "ini_settings_store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryFile>

namespace ringlark {

namespace {
const QString kSection = QStringLiteral("STARTUP");

QString storedText(const QSettings &settings, const QString &key, const QString &defaultValue)
{
    const QVariant value = settings.value(kSection + QLatin1Char('/') + key);
    if (!value.isValid())
        return defaultValue;
    // A hand-edited value with an unquoted comma comes back as a list; the text is what
    // the user wrote.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(','));
    return value.toString();
}
} // namespace

IniSettingsStore::IniSettingsStore()
    : m_settings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("TERNCALL"))
{
    restrictPermissions();
}

QString IniSettingsStore::read(const QString &key, const QString &defaultValue) const
{
    return storedText(m_settings, key, defaultValue);
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
    // QSettings keeps the first problem it ever met: a line it cannot parse (a '#' comment
    // added by hand) or one earlier failed write leaves its status at an error for good,
    // whatever later writes do. So an error status only means "look at the disk".
    if (m_settings.status() == QSettings::NoError || storedOnDisk(key, value)) {
        m_lastError.clear();
        return true;
    }
    m_lastError = path + QStringLiteral(": ") + whyNotWritable();
    return false;
}

bool IniSettingsStore::storedOnDisk(const QString &key, const QString &value) const
{
    // Read through a private copy: every QSettings on the same path shares one cache that
    // already holds the value, written or not.
    const QString path = m_settings.fileName();
    QFile original(path);
    if (!original.open(QIODevice::ReadOnly))
        return false;
    QTemporaryFile copy(path + QStringLiteral(".check-XXXXXX"));
    if (!copy.open() || copy.write(original.readAll()) < 0 || !copy.flush())
        return false;
    copy.close();
    const QSettings reread(copy.fileName(), QSettings::IniFormat);
    return storedText(reread, key, QString()) == value
           && reread.contains(kSection + QLatin1Char('/') + key);
}

QString IniSettingsStore::whyNotWritable() const
{
    const QString path = m_settings.fileName();
    // Append to an existing file only: opening one that is missing would create it with
    // the wide default mode.
    QFile file(path);
    if (QFileInfo::exists(path) && !file.open(QIODevice::WriteOnly | QIODevice::Append))
        return file.errorString();
    file.close();
    // The new file is made in the same folder and then takes the old one's place.
    QTemporaryFile probe(path + QStringLiteral(".probe-XXXXXX"));
    if (!probe.open())
        return probe.errorString();
    if (probe.write(QByteArray(4096, '\n')) < 0 || !probe.flush())
        return probe.errorString();
    return QStringLiteral("the file could not be replaced");
}

void IniSettingsStore::restrictPermissions() const
{
    const QString path = m_settings.fileName();
    if (QFile::exists(path))
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

} // namespace ringlark
