#include "traffic_log.h"

namespace ringlark {

qsizetype dropOldestText(QString &text, qsizetype maxChars)
{
    qsizetype cut = text.size() - maxChars;
    if (cut <= 0)
        return 0;
    // Keep whole lines where a line starts in the part to keep.
    const qsizetype lineEnd = text.indexOf(u'\n', cut - 1);
    if (lineEnd >= 0 && lineEnd + 1 < text.size())
        cut = lineEnd + 1;
    else if (text.at(cut).isLowSurrogate())
        ++cut; // never leave half a character at the front
    const qsizetype dropped = QStringView(text).left(cut).count(u'\n');
    text.remove(0, cut);
    return dropped;
}

TrafficLog::TrafficLog(int maxLines, qsizetype maxChars, QObject *parent)
    : QObject(parent), m_maxLines(qMax(1, maxLines)), m_maxChars(qMax<qsizetype>(1, maxChars))
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
    if (m_text.size() > m_maxChars + m_maxChars / 4) {
        m_lines -= dropOldestText(m_text, m_maxChars);
        // A view cannot follow a cut by size by itself: it starts again from what is kept.
        emit cleared();
        emit appended(m_text);
        return;
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
