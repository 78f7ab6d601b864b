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

    // Modal: returns once the user has closed the box. Only for callers that must wait.
    virtual void exec(const QString &text, Icon icon = Icon::None) = 0;

    // Shows the box and returns at once; onClosed runs when the user has closed it.
    virtual void open(const QString &text, Icon icon = Icon::None,
                      std::function<void()> onClosed = {}) = 0;
};

} // namespace ringlark
