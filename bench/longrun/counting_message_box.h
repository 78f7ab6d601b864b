#pragma once

#include "message_box.h"

#include <QList>
#include <QString>

#include <functional>

namespace ringlark::bench {

// The boxes an unattended machine would show. Modal boxes are closed at once (the run must
// go on); boxes shown with open() stay open, as nobody is there to close them, so that a
// program that shows one box per check would be seen piling them up.
class CountingMessageBox final : public MessageBox
{
public:
    void exec(const QString &text, Icon) override
    {
        ++m_modal;
        m_lastText = text;
    }

    void open(const QString &text, Icon, std::function<void()> onClosed) override
    {
        m_waiting.append(std::move(onClosed));
        m_lastText = text;
    }

    int modalCount() const { return m_modal; }
    // Boxes shown with open(); none of them has been closed.
    int openCount() const { return static_cast<int>(m_waiting.size()); }
    int opened() const { return m_modal + openCount(); }
    const QString &lastText() const { return m_lastText; }

private:
    int m_modal = 0;
    QList<std::function<void()>> m_waiting;
    QString m_lastText;
};

} // namespace ringlark::bench
