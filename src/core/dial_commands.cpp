#include "dial_commands.h"

#include "clock.h"
#include "dialup_connection.h"
#include "dialup_entry_list.h"
#include "event_log.h"
#include "message_box.h"
#include "settings_table.h"

#include <QPointer>

#include <utility>

namespace ringlark {

DialCommands::DialCommands(WinInet &fInet, DialUpEntryList &entries, const SettingsTable &settings,
                           EventLog &log, MessageBox &box, const Clock &clock,
                           std::function<quintptr()> windowHandle, QObject *parent)
    : QObject(parent), m_fInet(fInet), m_entries(entries), m_settings(settings), m_log(log),
      m_box(box), m_clock(clock), m_windowHandle(std::move(windowHandle))
{
    // Direct connections: "接続中です" is in the log before the result line, and "切断中"
    // before HangUp returns.
    connect(
        &m_fInet, &WinInet::ConnectionMade, this,
        [this] { m_log.appendLog(QStringLiteral("接続中です")); }, Qt::DirectConnection);
    connect(
        &m_fInet, &WinInet::ConnectionClosed, this,
        [this] { m_log.appendLog(QStringLiteral("切断中")); }, Qt::DirectConnection);
    connect(&m_fInet, &WinInet::StartDUNFinished, this, &DialCommands::onStartDUNFinished);
}

void DialCommands::SET_CONNECT_Click()
{
    dial({}, true);
}

QString DialCommands::entryToDial()
{
    // The list as the system has it now, not as it was at start-up: at login NetworkManager
    // may come up after the program, and profiles are made and renamed while it runs.
    QStringList current;
    m_fInet.ListDUNs(current);
    const QString problem = m_fInet.listProblem();
    if (problem != m_listProblem && !problem.isEmpty())
        m_log.appendLog(problem);
    m_listProblem = problem;

    const QString stored = m_settings.DialUpEntry.toString();
    if (problem.isEmpty() && current != m_entries.items()) {
        const QString chosen = m_entries.itemText(m_entries.selection());
        m_entries.clear();
        for (const QString &name : std::as_const(current))
            m_entries.addItem(name);
        if ((chosen.isEmpty() || !m_entries.selectExact(chosen)) && !stored.isEmpty())
            m_entries.selectExact(stored);
    }
    if (m_entries.selection() >= 0)
        return m_entries.itemText(m_entries.selection());
    // Nothing chosen in the list (a name typed over it, or the list was read before the
    // profile existed): the stored name, when the system has it. When the system could not
    // be asked, or answered with no entries at all (Wine's Remote Access lists none, and a
    // phone book may live where the list does not look), dial the stored name all the same
    // and let the dial say what is wrong, rather than ask the user to choose from a list
    // that has nothing to offer. A list that names other entries but not this one keeps the
    // question.
    if (!stored.isEmpty() && (current.contains(stored) || current.isEmpty() || !problem.isEmpty()))
        return stored;
    return {};
}

bool DialCommands::isNews(const QString &failure)
{
    // A dial the user asked for always answers; the check's retries say a failure once.
    const bool news = m_failures.news(failure);
    return news || m_byUser;
}

void DialCommands::askForEntry()
{
    // No name stored: the user is asked to choose one. A stored name the system lacks is
    // named, in the log too, so that a deleted or renamed profile is plain to see.
    const QString stored = m_settings.DialUpEntry.toString();
    const QString text = stored.isEmpty()
                             ? QStringLiteral("設定でダイアルアップネットワークを選択してください")
                             : QStringLiteral("設定のダイアルアップネットワーク「") + stored +
                                   QStringLiteral("」が見つかりません。設定で選び直してください");
    if (!isNews(text))
        return;
    if (!stored.isEmpty()) {
        m_log.appendLog(text);
        if (m_box.writesToLog())
            return;
    }
    // One at a time, and nobody waits for it: the next checks go on while it is open. The
    // box may outlive this object when the program ends while it is open.
    if (m_askBoxOpen)
        return;
    m_askBoxOpen = true;
    m_box.open(text, MessageBox::Icon::Exclamation, [self = QPointer<DialCommands>(this)] {
        if (self)
            self->m_askBoxOpen = false;
    });
}

void DialCommands::dial(std::function<void(bool connected)> done, bool byUser)
{
    m_waiting.append(done ? std::move(done) : [](bool) {});
    if (m_fInet.dialling()) {
        m_byUser = m_byUser || byUser;
        return; // its result answers this call too
    }
    m_byUser = byUser;
    m_dialled = entryToDial();
    if (m_dialled.isEmpty()) {
        askForEntry();
        QMetaObject::invokeMethod(
            this, [this] { finish(false); }, Qt::QueuedConnection);
        return;
    }
    m_fInet.StartDUN(m_windowHandle ? m_windowHandle() : 0, m_dialled);
}

void DialCommands::onStartDUNFinished(qint32 r)
{
    // The entry's text is read again now: the list may have changed during the dial.
    const int index = m_entries.selection();
    const QString entry = index >= 0 ? m_entries.itemText(index) : m_dialled;
    if (r == 0 || r == -1)
        m_failures.forget();
    if (r == 0) {
        m_log.appendLog(m_clock.now().toString(QStringLiteral("MM/dd HH:mm ")) + entry +
                        QStringLiteral("へ接続しました。"));
    } else if (r == -1) {
        m_log.appendLog(QStringLiteral("すでに接続しています。"));
    } else {
        const QString line =
            QStringLiteral("接続エラー ") + QString::number(r) + QStringLiteral("  ") + entry;
        if (isNews(line))
            m_log.appendLog(line);
    }
    finish(r == 0 || r == -1);
}

void DialCommands::finish(bool connected)
{
    const auto waiting = std::exchange(m_waiting, {});
    for (const auto &done : waiting)
        done(connected);
    emit connectFinished(connected);
}

void DialCommands::SET_DISCONNECT_Click()
{
    const qint32 r = m_fInet.HangUp();
    if (r == 0)
        m_log.appendLog(QStringLiteral("切断しました"));
    else if (r == -1)
        m_log.appendLog(QStringLiteral("接続していませんでした"));
    else
        m_log.appendLog(QStringLiteral("切断できません　エラー: ") + QString::number(r));
}

} // namespace ringlark
