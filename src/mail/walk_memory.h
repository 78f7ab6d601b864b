#pragma once

#include "mail_checks.h"
#include "session_values.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

namespace ringlark {

// What the walks of a run remember of mails by an opaque identity: the server's unique id
// where it gives one (POP3 UIDL, IMAP "<UIDVALIDITY>/<UID>"), else the mail's date, sender
// and subject. Alive for the whole run; the protocol sessions share it.
class WalkMemory
{
public:
    // A walk begins.
    void startWalk() { m_newest.clear(); }
    // A mail was examined, newest first: the first of a walk is where the next one ends.
    void examined(const QString &id)
    {
        if (m_newest.isEmpty())
            m_newest = id;
    }
    // The identity of the newest mail this walk examined; empty before the first.
    const QString &newestExamined() const { return m_newest; }

    // The log lines for a mail that failed a check: the first time for this mail only, so
    // that a forged mail left in the mailbox is told of once, not at every check.
    QStringList failureLines(const QString &id, const MailCheckResult &checks,
                             const MailDate &date);
    // The mails still in the mailbox, when the server lists them: failures of mails that
    // left are forgotten, so that memory stays as small as the mailbox.
    void keepOnly(const QSet<QString> &present);

    // The identity of a mail without a server-given id.
    static QString contentIdentity(const SessionValues &values);

private:
    // Without a list of the mails present, the oldest entries go past this many.
    static constexpr qsizetype kMaxRemembered = 4096;

    QString m_newest;
    QSet<QString> m_failed;
    QList<QString> m_order; // m_failed in the order remembered
};

} // namespace ringlark
