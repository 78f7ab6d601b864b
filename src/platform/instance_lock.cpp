#include "instance_lock.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>

namespace ringlark {

InstanceLock::InstanceLock(const QString &settingsFile, const QString &runtimeDir)
    : m_path(pathFor(settingsFile, runtimeDir)), m_lock(m_path)
{
}

QString InstanceLock::pathFor(const QString &settingsFile, const QString &runtimeDir)
{
    // The same file reached through a symbolic link or a relative path is the same key. The
    // file itself may not exist yet on a first run, so its folder is resolved instead.
    const QFileInfo file(settingsFile);
    const QString folder = QFileInfo(file.absolutePath()).canonicalFilePath();
    const QString key =
        (folder.isEmpty() ? file.absolutePath() : folder) + QLatin1Char('/') + file.fileName();
    // Never <file>.lock: QSettings takes that one for every write, and would wait for ever
    // on a lock this program holds.
    if (runtimeDir.isEmpty())
        return key + QStringLiteral(".instance.lock");
    const QByteArray hash =
        QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha256).toHex().left(16);
    return QDir(runtimeDir).filePath(QStringLiteral("ringlark-%1.lock").arg(QLatin1String(hash)));
}

InstanceLock::Outcome InstanceLock::acquire()
{
    // On a first run the settings folder may not exist yet.
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    if (m_lock.tryLock(0))
        return Outcome::Acquired;
    return m_lock.error() == QLockFile::LockFailedError ? Outcome::HeldByAnother : Outcome::Failed;
}

QString InstanceLock::errorText() const
{
    switch (m_lock.error()) {
    case QLockFile::NoError:
        return {};
    case QLockFile::LockFailedError:
        return QStringLiteral("%1 is held by another process").arg(m_path);
    case QLockFile::PermissionError:
        return QStringLiteral("cannot create %1: permission denied").arg(m_path);
    case QLockFile::UnknownError:
        break;
    }
    return QStringLiteral("cannot create %1").arg(m_path);
}

} // namespace ringlark
