#pragma once

#include "registry.h"

#include <QString>

#include <stdexcept>

namespace ringlark {

class MessageBox;
class ProgramLauncher;

// Raised by GetKeyValue for a value that exists but holds no data at all.
class RegistryReadError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// Finds the system-information program through the registry and starts it. No widgets: the
// About box's button calls StartSysInfo.
class SysInfo
{
public:
    // Where the program is looked up, in this order, under HKEY_LOCAL_MACHINE: the "PATH"
    // value names the program itself; the "MSINFO" value names its folder, to which
    // programFile is appended.
    static const QString gsRegKeySysInfo;
    static const QString gsRegValSysInfo;
    static const QString gsRegKeySysInfoLoc;
    static const QString gsRegValSysInfoLoc;
    static const QString programFile;
    static const QString unavailableText;

    // Every buffer the reader hands the registry has this many bytes; longer values fail.
    static constexpr quint32 bufferSize = 1024;

    SysInfo(Registry &registry, ProgramLauncher &launcher, MessageBox &messageBox);

    // Reads one value as text into `value`. False, with `value` emptied, when the key cannot
    // be opened or the value cannot be read (missing, or larger than the buffer). A REG_SZ
    // gives its text, a REG_DWORD its number in decimal; any other type leaves `value`
    // untouched. Throws RegistryReadError for a value with no data.
    bool GetKeyValue(Registry::Root root, const QString &keyName, const QString &valueName,
                     QString &value);

    // Starts the program, or tells the user that system information is not available.
    void StartSysInfo();

private:
    // Finds the program's path; false when the user is to be told it is not available.
    bool locateProgram(QString &path);

    Registry &m_registry;
    ProgramLauncher &m_launcher;
    MessageBox &m_messageBox;
};

} // namespace ringlark
