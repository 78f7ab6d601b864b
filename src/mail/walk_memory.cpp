#include "walk_memory.h"

#include "recognition.h"

namespace ringlark {

QStringList WalkMemory::failureLines(const QString &id, const MailCheckResult &checks,
                                     const MailDate &date)
{
    if (checks.passed() || m_failed.contains(id))
        return {};
    m_failed.insert(id);
    m_order.append(id);
    if (m_order.size() > kMaxRemembered)
        m_failed.remove(m_order.takeFirst());
    QStringList lines;
    if (checks.codeFailed)
        lines.append(ignoredTriggerText(checks.codeReused ? IgnoredBecause::CodeReused
                                                          : IgnoredBecause::CodeWrong,
                                        date));
    if (checks.senderFailed)
        lines.append(ignoredTriggerText(IgnoredBecause::SenderUnproven, date));
    return lines;
}

void WalkMemory::keepOnly(const QSet<QString> &present)
{
    m_order.removeIf([&present](const QString &id) { return !present.contains(id); });
    m_failed = QSet<QString>(m_order.cbegin(), m_order.cend());
}

QString WalkMemory::contentIdentity(const SessionValues &values)
{
    return mailDateText(values.TriggerMailDate) + QLatin1Char('\n') + values.MailFrom +
           QLatin1Char('\n') + values.MailSubject;
}

} // namespace ringlark
