#include "event_log.h"

#include "log_categories.h"

namespace ringlark {

namespace {
const QString kCrLf = QStringLiteral("\r\n");
}

void EventLog::addLine(const QString &message)
{
    m_text += message + kCrLf;
    if (++m_lines > kMaxLines) {
        m_text.remove(0, m_text.indexOf(kCrLf) + kCrLf.size());
        --m_lines;
    }
}

void EventLog::appendLog(const QString &message)
{
    addLine(message);
    qCInfo(lcLog).noquote() << message;
    emit appended(message, true);
}

void EventLog::replaceAll(const QString &message)
{
    m_text.clear();
    m_lines = 0;
    addLine(message);
    qCInfo(lcLog).noquote() << message;
    emit replaced(message);
}

void EventLog::appendWithoutCaret(const QString &message)
{
    addLine(message);
    qCInfo(lcLog).noquote() << message;
    emit appended(message, false);
}

void EventLog::setStatus(const QString &text)
{
    m_status = text;
    qCInfo(lcStatus).noquote() << text;
    emit statusChanged(text);
}

} // namespace ringlark
