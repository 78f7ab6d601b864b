#include "process_launcher.h"

#include <QFileInfo>
#include <QProcess>

namespace ringlark {

bool ProcessLauncher::start(const QString &path)
{
    if (path.isEmpty())
        return false;
    // The program and an empty argument list: Qt runs exactly this file and never hands the
    // text to a shell, so "C:\Program Files\x.exe" cannot turn into "C:\Program.exe".
    return QProcess::startDetached(path, {});
}

QString ProcessLauncher::existingFile(const QString &path) const
{
    if (path.isEmpty())
        return {};
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile() || info.isHidden())
        return {};
    return info.fileName();
}

} // namespace ringlark
