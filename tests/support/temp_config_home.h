#pragma once

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

namespace ringlark::test {

// Points the real INI store at a private folder, so that no test ever touches the user's
// own settings. QSettings caches its folder, so the path is set on it too.
class TempConfigHome
{
public:
    TempConfigHome()
    {
        qputenv("XDG_CONFIG_HOME", dir.path().toLocal8Bit());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path());
    }
    QString path() const { return dir.path(); }
    QString iniFile() const { return dir.path() + QStringLiteral("/TERNCALL.ini"); }
    // The file as a user's editor would write it, and as it stands now.
    bool writeIni(const QByteArray &text) const
    {
        QFile file(iniFile());
        return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
    }
    QByteArray iniText() const
    {
        QFile file(iniFile());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir dir;
};

} // namespace ringlark::test
