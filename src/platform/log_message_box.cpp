#include "log_message_box.h"

#include "log_categories.h"

namespace ringlark {

namespace {
void writeLine(const QString &text)
{
    // One line per box, as the log mirror's readers expect.
    QString line = text;
    line.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    line.replace(u'\n', u' ').replace(u'\r', u' ');
    qCInfo(lcLog).noquote() << line;
}
} // namespace

void LogMessageBox::open(const QString &text, Icon, std::function<void()> onClosed)
{
    writeLine(text);
    if (onClosed)
        QMetaObject::invokeMethod(&m_context, std::move(onClosed), Qt::QueuedConnection);
}

} // namespace ringlark
