#pragma once

#include <QString>

#include <functional>

namespace ringlark {

// A box titled RINGLARK with one OK button.
class MessageBox
{
public:
    enum class Icon { None, Exclamation };

    virtual ~MessageBox() = default;

    // Shows the box and returns at once; onClosed runs when the user has closed it. Nothing
    // waits in a loop of its own for a box: whoever must go on after it does so in onClosed.
    virtual void open(const QString &text, Icon icon = Icon::None,
                      std::function<void()> onClosed = {}) = 0;
    // Whether the box's text becomes a log line (no window): then whoever also logs the
    // same text leaves the box out, so that the line is not written twice.
    virtual bool writesToLog() const { return false; }
};

} // namespace ringlark
