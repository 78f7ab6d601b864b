#pragma once

#include <QLockFile>
#include <QString>

namespace ringlark {

// Keeps to one running program per settings file: two programs on one file would both poll
// and both write LASTDATE. A lock left behind by a program that crashed or was killed names a
// process that is gone, and is taken over.
class InstanceLock
{
public:
    enum class Outcome
    {
        Acquired,
        HeldByAnother,
        Failed
    };

    // The lock lives in runtimeDir ($XDG_RUNTIME_DIR by default); when that is empty, next to
    // the settings file.
    explicit InstanceLock(const QString &settingsFile,
                          const QString &runtimeDir = qEnvironmentVariable("XDG_RUNTIME_DIR"));

    // Does not wait: another program holding the lock gives HeldByAnother at once.
    Outcome acquire();

    QString path() const { return m_path; }
    // Why acquire() failed, for Failed.
    QString errorText() const;

private:
    static QString pathFor(const QString &settingsFile, const QString &runtimeDir);

    QString m_path;
    QLockFile m_lock;
};

} // namespace ringlark
