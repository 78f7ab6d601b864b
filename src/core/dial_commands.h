#pragma once

#include <QList>
#include <QObject>

#include <functional>

namespace ringlark {

class Clock;
class DialUpEntryList;
class EventLog;
class MessageBox;
class WinInet;

// The dial and hang-up commands of the main window, and the log lines of the dial-up
// object's two events.
class DialCommands : public QObject
{
    Q_OBJECT
public:
    DialCommands(WinInet &fInet, DialUpEntryList &entries, EventLog &log, MessageBox &box,
                 const Clock &clock, std::function<quintptr()> windowHandle,
                 QObject *parent = nullptr);

    void SET_CONNECT_Click();
    void SET_DISCONNECT_Click();
    // The dial as the check cycle makes it: done runs once it is over, which is when the
    // box asking for an entry closed if there is no entry to dial.
    void dial(std::function<void()> done);

private:
    void askForEntry(std::function<void()> done);

    WinInet &m_fInet;
    DialUpEntryList &m_entries;
    EventLog &m_log;
    MessageBox &m_box;
    const Clock &m_clock;
    std::function<quintptr()> m_windowHandle;
    // One box asking for an entry at a time; whoever waits for it goes on when it closes.
    bool m_askBoxOpen = false;
    QList<std::function<void()>> m_afterAskBox;
};

} // namespace ringlark
