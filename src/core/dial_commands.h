#pragma once

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

private:
    WinInet &m_fInet;
    DialUpEntryList &m_entries;
    EventLog &m_log;
    MessageBox &m_box;
    const Clock &m_clock;
    std::function<quintptr()> m_windowHandle;
};

} // namespace ringlark
