#pragma once

#include "registry.h"

#include <QHash>
#include <QStringList>

namespace ringlark {

// Linux has no registry. This stand-in knows a single value, the one that tells where the
// system-information program lives: HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Shared Tools\MSINFO,
// value PATH. It holds the full path of the first of a few well-known system-information and
// system-monitor programs found on the search path, looked up afresh at every open. When none
// is installed the key does not exist, and every other key is missing too.
//
// Answering through the registry keeps the launcher's logic identical on both systems.
class LinuxRegistry final : public Registry
{
public:
    // The programs tried, best first.
    static QStringList defaultCandidates();

    // searchPaths empty: the folders of the PATH environment variable at the time of each open.
    explicit LinuxRegistry(QStringList candidates = defaultCandidates(),
                           QStringList searchPaths = {});

    qint32 openKey(Root root, const QByteArray &subKey, quint32 access, Handle &key) override;
    qint32 queryValue(Handle key, const QByteArray &valueName, quint32 &type, char *data,
                      quint32 &size) override;
    void closeKey(Handle key) override;

    // The program the key would name now, or the empty text.
    QString findProgram() const;

private:
    QStringList m_candidates;
    QStringList m_searchPaths;
    QHash<Handle, QByteArray> m_open; // handle -> the path it was opened with
    Handle m_next = 1;
};

} // namespace ringlark
