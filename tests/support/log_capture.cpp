#include "log_capture.h"

namespace ringlark::test {

namespace {
LogCapture *g_current = nullptr;
}

LogCapture::LogCapture(const char *category) : m_category(category)
{
    g_current = this;
    QLoggingCategory::setFilterRules(QString::fromLatin1(m_category) +
                                     QStringLiteral(".debug=true"));
    m_previous = qInstallMessageHandler(&LogCapture::handler);
}

LogCapture::~LogCapture()
{
    qInstallMessageHandler(m_previous);
    QLoggingCategory::setFilterRules(QString());
    g_current = nullptr;
}

void LogCapture::handler(QtMsgType type, const QMessageLogContext &context, const QString &msg)
{
    LogCapture *self = g_current;
    if (self && context.category && self->m_category == context.category) {
        self->messages.append(msg);
        return;
    }
    if (self && self->m_previous)
        self->m_previous(type, context, msg);
}

} // namespace ringlark::test
