#include "traffic_log.h"

namespace ringlark {

TrafficLog::TrafficLog(int maxLines, QObject *parent)
    : QObject(parent), m_maxLines(qMax(1, maxLines))
{
}

void TrafficLog::append(const QString &text)
{
    if (text.isEmpty())
        return;
    m_text.append(text);
    m_lines += text.count(u'\n');
    // Trim in steps of a quarter of the cap, so that dropping lines costs amortised linear
    // time, not a move of the whole text per chunk.
    const qsizetype slack = qMax<qsizetype>(1, m_maxLines / 4);
    if (m_lines > m_maxLines + slack) {
        qsizetype drop = m_lines - m_maxLines;
        qsizetype cut = 0;
        while (drop-- > 0)
            cut = m_text.indexOf(u'\n', cut) + 1;
        m_text.remove(0, cut);
        m_lines = m_maxLines;
    }
    emit appended(text);
}

void TrafficLog::clear()
{
    m_text.clear();
    m_lines = 0;
    emit cleared();
}

} // namespace ringlark
