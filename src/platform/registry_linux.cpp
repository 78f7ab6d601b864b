#include "registry_linux.h"

#include <QStandardPaths>

namespace ringlark {

namespace {
const QByteArray sysInfoKey = QByteArrayLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
const QByteArray pathValue = QByteArrayLiteral("PATH");

// Registry names are case-insensitive.
bool sameName(const QByteArray &a, const QByteArray &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}
} // namespace

QStringList LinuxRegistry::defaultCandidates()
{
    // System-information programs first (closest to what the box promises), then the
    // system monitors of the common desktops.
    return {QStringLiteral("hardinfo2"),
            QStringLiteral("hardinfo"),
            QStringLiteral("kinfocenter"),
            QStringLiteral("gnome-system-monitor"),
            QStringLiteral("plasma-systemmonitor"),
            QStringLiteral("ksysguard"),
            QStringLiteral("mate-system-monitor"),
            QStringLiteral("xfce4-taskmanager"),
            QStringLiteral("lxtask")};
}

LinuxRegistry::LinuxRegistry(QStringList candidates, QStringList searchPaths)
    : m_candidates(std::move(candidates)), m_searchPaths(std::move(searchPaths))
{
}

QString LinuxRegistry::findProgram() const
{
    for (const QString &name : m_candidates) {
        const QString found = QStandardPaths::findExecutable(name, m_searchPaths);
        if (!found.isEmpty())
            return found;
    }
    return {};
}

qint32 LinuxRegistry::openKey(Root root, const QByteArray &subKey, quint32 access, Handle &key)
{
    Q_UNUSED(access); // nothing here can be written anyway
    key = 0;
    if (root != Root::LocalMachine || !sameName(subKey, sysInfoKey))
        return ErrorFileNotFound;
    const QString program = findProgram();
    if (program.isEmpty())
        return ErrorFileNotFound;
    key = m_next++;
    // Stored as a REG_SZ is: ANSI text with its terminating zero.
    QByteArray data = program.toLocal8Bit();
    data.append('\0');
    m_open.insert(key, data);
    return ErrorSuccess;
}

qint32 LinuxRegistry::queryValue(Handle key, const QByteArray &valueName, quint32 &type, char *data,
                                 quint32 &size)
{
    const auto it = m_open.constFind(key);
    if (it == m_open.constEnd())
        return ErrorInvalidHandle;
    if (!sameName(valueName, pathValue))
        return ErrorFileNotFound;
    type = RegSz;
    return deliver(*it, data, size);
}

void LinuxRegistry::closeKey(Handle key)
{
    m_open.remove(key);
}

std::unique_ptr<Registry> createSystemRegistry()
{
    return std::make_unique<LinuxRegistry>();
}

} // namespace ringlark
