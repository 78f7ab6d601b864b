#pragma once

#include <QString>

namespace ringlark {

// Starting another program, and the file test that goes with it.
class ProgramLauncher
{
public:
    virtual ~ProgramLauncher() = default;

    // Starts the program at path, with no arguments and without waiting for it. The path is
    // the program itself, never a command line for a shell: spaces and shell characters in it
    // are part of the file name. Returns false when the program cannot be started.
    virtual bool start(const QString &path) = 0;

    // The file name of path when it names an existing ordinary file that is not hidden;
    // the empty text otherwise (no such file, a folder, a hidden file).
    virtual QString existingFile(const QString &path) const = 0;
};

} // namespace ringlark
