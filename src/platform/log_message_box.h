#pragma once

#include "message_box.h"

#include <QObject>

namespace ringlark {

// The message box of a run with no window: the box's text becomes a ringlark.log line and
// the box counts as closed at once, so nothing ever waits for a click nobody can give.
class LogMessageBox final : public MessageBox
{
public:
    // onClosed runs from the event loop, as it would after a real box: never inside open().
    void open(const QString &text, Icon icon = Icon::None,
              std::function<void()> onClosed = {}) override;
    bool writesToLog() const override { return true; }

private:
    QObject m_context; // lifetime guard for the queued onClosed calls
};

} // namespace ringlark
