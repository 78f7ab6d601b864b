#include "log_message_box.h"

#include "log_categories.h"

#include <QTimer>

namespace ringlark {

void LogMessageBox::open(const QString &text, Icon, std::function<void()> onClosed)
{
    qCInfo(lcLog).noquote() << text;
    if (onClosed)
        QTimer::singleShot(0, &m_context, std::move(onClosed));
}

} // namespace ringlark
