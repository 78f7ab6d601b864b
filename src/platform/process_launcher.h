#pragma once

#include "program_launcher.h"

namespace ringlark {

// Starts programs as detached processes of their own.
class ProcessLauncher final : public ProgramLauncher
{
public:
    bool start(const QString &path) override;
    QString existingFile(const QString &path) const override;
};

} // namespace ringlark
