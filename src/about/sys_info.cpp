#include "sys_info.h"

#include "message_box.h"
#include "program_launcher.h"

#include <QByteArray>

#include <exception>

namespace ringlark {

const QString SysInfo::gsRegKeySysInfo =
    QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
const QString SysInfo::gsRegValSysInfo = QStringLiteral("PATH");
const QString SysInfo::gsRegKeySysInfoLoc =
    QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location");
const QString SysInfo::gsRegValSysInfoLoc = QStringLiteral("MSINFO");
const QString SysInfo::programFile = QStringLiteral("\\MSINFO32.EXE");
const QString SysInfo::unavailableText = QStringLiteral("現時点ではｼｽﾃﾑ情報を使用できません");

namespace {
// Closes the key on every way out of the reader, the thrown error included.
class OpenKey
{
public:
    OpenKey(Registry &registry, Registry::Handle key) : m_registry(registry), m_key(key) {}
    ~OpenKey() { m_registry.closeKey(m_key); }
    OpenKey(const OpenKey &) = delete;
    OpenKey &operator=(const OpenKey &) = delete;

private:
    Registry &m_registry;
    Registry::Handle m_key;
};

// A REG_DWORD is stored low byte first. Fewer than four bytes are read as they are.
quint32 dwordOf(const QByteArray &bytes)
{
    quint32 value = 0;
    const qsizetype count = qMin<qsizetype>(bytes.size(), 4);
    for (qsizetype i = count - 1; i >= 0; --i)
        value = (value << 8) | static_cast<quint8>(bytes.at(i));
    return value;
}
} // namespace

SysInfo::SysInfo(Registry &registry, ProgramLauncher &launcher, MessageBox &messageBox)
    : m_registry(registry), m_launcher(launcher), m_messageBox(messageBox)
{
}

bool SysInfo::GetKeyValue(Registry::Root root, const QString &keyName, const QString &valueName,
                          QString &value)
{
    Registry::Handle key = 0;
    if (m_registry.openKey(root, keyName.toLocal8Bit(), Registry::KeyRead, key) !=
        Registry::ErrorSuccess) {
        value.clear();
        return false;
    }
    const OpenKey closer(m_registry, key);

    QByteArray buffer(bufferSize, '\0');
    quint32 size = bufferSize;
    quint32 type = Registry::RegNone;
    if (m_registry.queryValue(key, valueName.toLocal8Bit(), type, buffer.data(), size) !=
        Registry::ErrorSuccess) {
        value.clear();
        return false;
    }
    if (size == 0)
        throw RegistryReadError("registry value holds no data");
    // A misbehaving registry must not make us read past our own buffer.
    buffer.truncate(qMin(size, bufferSize));

    switch (type) {
    case Registry::RegSz: {
        // The text ends at its first zero byte: stored with or without its terminator, or
        // padded with extra zeros, it reads the same.
        const qsizetype end = buffer.indexOf('\0');
        value = QString::fromLocal8Bit(end < 0 ? buffer : buffer.left(end));
        break;
    }
    case Registry::RegDword:
        value = QString::number(dwordOf(buffer));
        break;
    default:
        // Types the program has no use for, an expandable string among them.
        break;
    }
    return true;
}

bool SysInfo::locateProgram(QString &path)
{
    if (GetKeyValue(Registry::Root::LocalMachine, gsRegKeySysInfo, gsRegValSysInfo, path))
        return true; // used as it is, with no test: a missing file fails to start
    if (!GetKeyValue(Registry::Root::LocalMachine, gsRegKeySysInfoLoc, gsRegValSysInfoLoc, path))
        return false;
    if (m_launcher.existingFile(path + programFile).isEmpty())
        return false;
    path += programFile;
    return true;
}

void SysInfo::StartSysInfo()
{
    try {
        QString path;
        if (locateProgram(path) && m_launcher.start(path))
            return;
    } catch (const std::exception &) {
        // A value that cannot be read counts like a missing one: the user gets the box below.
    }
    m_messageBox.open(unavailableText, MessageBox::Icon::None, {});
}

} // namespace ringlark
