#pragma once

#include "program_launcher.h"

#include <QSet>
#include <QStringList>

namespace ringlark::test {

// A file system of named files: a path in `files` exists and starts; anything else neither
// exists nor starts. Records what was tested and what was started.
class FakeProgramLauncher final : public ProgramLauncher
{
public:
    bool start(const QString &path) override
    {
        attempted.append(path);
        if (!files.contains(path))
            return false;
        started.append(path);
        return true;
    }
    QString existingFile(const QString &path) const override
    {
        tested.append(path);
        if (!files.contains(path))
            return {};
        return path.mid(path.lastIndexOf(QLatin1Char('\\')) + 1);
    }

    QSet<QString> files;
    QStringList attempted;
    QStringList started;
    mutable QStringList tested;
};

} // namespace ringlark::test
