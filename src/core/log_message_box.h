#pragma once

#include "message_box.h"

#include <QObject>

namespace ringlark {

// Message boxes for a program with no windows: the text becomes a ringlark.log line and the
// box counts as closed on the next turn of the event loop, so whoever waits for it goes on.
class LogMessageBox final : public MessageBox
{
public:
    void open(const QString &text, Icon icon, std::function<void()> onClosed) override;

private:
    QObject m_context; // queued closings die with the service
};

} // namespace ringlark
