#pragma once

#include <QObject>

#include <functional>

namespace ringlark {

class Clock;
class DialUpEntryList;
class EventLog;
class MessageBox;
class WinInet;
struct SettingsTable;

// The dial and hang-up commands of the main window, and the log lines of the dial-up
// object's two events.
class DialCommands : public QObject
{
    Q_OBJECT
public:
    DialCommands(WinInet &fInet, DialUpEntryList &entries, const SettingsTable &settings,
                 EventLog &log, MessageBox &box, const Clock &clock,
                 std::function<quintptr()> windowHandle, QObject *parent = nullptr);

    // Starts the dial and returns at once; connectFinished follows, after the result's log
    // line. A call while a dial is under way joins it.
    void SET_CONNECT_Click();
    void SET_DISCONNECT_Click();

signals:
    // The dial command has ended: `connected` when the entry is up (dialled now, or already
    // connected by this program); false when it failed or no entry could be dialled.
    void connectFinished(bool connected);

private:
    QString entryToDial();
    void onStartDUNFinished(qint32 r);

    WinInet &m_fInet;
    DialUpEntryList &m_entries;
    const SettingsTable &m_settings;
    EventLog &m_log;
    MessageBox &m_box;
    const Clock &m_clock;
    std::function<quintptr()> m_windowHandle;
    QString m_dialled;
    QString m_listProblem;
    bool m_boxOpen = false;
};

} // namespace ringlark
