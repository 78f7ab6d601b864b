#pragma once

#include "once_per_change.h"

#include <QList>
#include <QObject>
#include <QStringList>

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

    // What the last dial or hang-up came to, for the reply to the mail that asked for it.
    struct Outcome
    {
        qint32 result = 0; // as StartDUN and HangUp give it
        QString entry;
        QString line;          // the log line written for it
        QStringList addresses; // what the connection got, when it came up
        QString advice;        // what the user can do about the failure; may be empty
    };
    const Outcome &lastOutcome() const { return m_outcome; }

    void SET_CONNECT_Click();
    void SET_DISCONNECT_Click();
    // The hang-ups nobody at the machine asked for: by a trigger mail, and after the time
    // HANGUP_AFTER gives (in minutes, as written there). Each writes its log line, then
    // runs done, from the event loop; lastOutcome() tells what came of it.
    void hangUpByMail(std::function<void()> done = {});
    void hangUpAfterTime(const QString &minutes, std::function<void()> done = {});
    // The dial as the check cycle makes it. It never blocks: done runs from the event loop
    // once the dial is over, after its log line, with whether the entry is now connected. A
    // call while a dial is under way joins it. A failure that repeats the last one is
    // logged again only when byUser (the menu's dial); the check's retries say it once.
    void dial(std::function<void(bool connected)> done, bool byUser = false);

signals:
    // A dial has ended (its log line is written); `connected` as for dial().
    void connectFinished(bool connected);

private:
    QString entryToDial(const QStringList &current);
    void askForEntry();
    bool isNews(const QString &failure);
    void onStartDUNFinished(qint32 r);
    void finish(bool connected);
    void hangUpUnattended(const QString &hungUp, std::function<void()> done);

    WinInet &m_fInet;
    DialUpEntryList &m_entries;
    const SettingsTable &m_settings;
    EventLog &m_log;
    MessageBox &m_box;
    const Clock &m_clock;
    std::function<quintptr()> m_windowHandle;
    QString m_dialled;
    QString m_listProblem;
    Outcome m_outcome;
    // Who waits for the dial under way.
    QList<std::function<void(bool)>> m_waiting;
    // One box asking for an entry at a time.
    bool m_askBoxOpen = false;
    // The entries are being read before a dial.
    bool m_listing = false;
    // The dial's failure reported last; cleared by a dial that connects.
    ChangeGate m_failures;
    bool m_byUser = false;
};

} // namespace ringlark
