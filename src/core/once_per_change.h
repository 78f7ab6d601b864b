#pragma once

#include "message_box.h"

#include <QObject>
#include <QString>

namespace ringlark {

// A failure that lasts is reported when it starts or changes, not at every check: a machine
// left alone for a week with its server down would otherwise fill the journal with the
// same line, and a window would stack the same box.
class ChangeGate
{
public:
    // Whether text is news, that is not what was reported last; it is remembered either way.
    bool news(const QString &text)
    {
        if (text == m_last)
            return false;
        m_last = text;
        return true;
    }
    // The failure is over (or became another): the next report is news again.
    void forget() { m_last.clear(); }
    const QString &last() const { return m_last; }

private:
    QString m_last;
};

// A message box that stays shut while the failure it reported goes on. A box left out
// counts as closed at once, so whoever waits for it goes on as after a click.
class OncePerChangeBox final : public MessageBox
{
public:
    explicit OncePerChangeBox(MessageBox &shown) : m_shown(shown) {}

    void open(const QString &text, Icon icon, std::function<void()> onClosed) override
    {
        if (m_gate.news(text))
            m_shown.open(text, icon, std::move(onClosed));
        else if (onClosed)
            QMetaObject::invokeMethod(&m_context, std::move(onClosed), Qt::QueuedConnection);
    }
    bool writesToLog() const override { return m_shown.writesToLog(); }

    // An ending that names another failure than the one shown (or none) ends that one.
    void keepIfStill(const QString &failure)
    {
        if (failure != m_gate.last())
            m_gate.forget();
    }

private:
    MessageBox &m_shown;
    ChangeGate m_gate;
    QObject m_context; // lifetime guard for the queued onClosed calls
};

} // namespace ringlark
