#pragma once

#include <QByteArray>
#include <QLoggingCategory>
#include <QStringList>

namespace ringlark::test {

// Collects the messages of one logging category (debug level on) while it lives; other
// messages go on to the previous handler. One at a time.
class LogCapture
{
public:
    explicit LogCapture(const char *category);
    ~LogCapture();
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    QStringList messages;
    QString joined() const { return messages.join(u'\n'); }

private:
    static void handler(QtMsgType type, const QMessageLogContext &context, const QString &msg);
    QByteArray m_category;
    QtMessageHandler m_previous = nullptr;
};

} // namespace ringlark::test
