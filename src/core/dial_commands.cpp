#include "dial_commands.h"

#include "clock.h"
#include "dialup_connection.h"
#include "dialup_entry_list.h"
#include "event_log.h"
#include "message_box.h"

#include <QPointer>

#include <utility>

namespace ringlark {

DialCommands::DialCommands(WinInet &fInet, DialUpEntryList &entries, EventLog &log, MessageBox &box,
                           const Clock &clock, std::function<quintptr()> windowHandle,
                           QObject *parent)
    : QObject(parent), m_fInet(fInet), m_entries(entries), m_log(log), m_box(box), m_clock(clock),
      m_windowHandle(std::move(windowHandle))
{
    // Direct connections: the lines are in the log before StartDUN or HangUp returns, so
    // they come before the command's own result line.
    connect(
        &m_fInet, &WinInet::ConnectionMade, this,
        [this] { m_log.appendLog(QStringLiteral("接続中です")); }, Qt::DirectConnection);
    connect(
        &m_fInet, &WinInet::ConnectionClosed, this,
        [this] { m_log.appendLog(QStringLiteral("切断中")); }, Qt::DirectConnection);
}

void DialCommands::SET_CONNECT_Click()
{
    dial({});
}

void DialCommands::askForEntry(std::function<void()> done)
{
    if (done)
        m_afterAskBox.append(std::move(done));
    if (m_askBoxOpen)
        return;
    m_askBoxOpen = true;
    // The box may outlive this object when the program ends while it is open.
    m_box.open(QStringLiteral("設定でダイアルアップネットワークを選択してください"),
               MessageBox::Icon::Exclamation, [self = QPointer<DialCommands>(this)] {
                   if (!self)
                       return;
                   self->m_askBoxOpen = false;
                   const auto waiting = std::exchange(self->m_afterAskBox, {});
                   for (const auto &f : waiting)
                       f();
               });
}

void DialCommands::dial(std::function<void()> done)
{
    const int index = m_entries.selection();
    if (index == -1) {
        askForEntry(std::move(done));
        return;
    }
    const qint32 r =
        m_fInet.StartDUN(m_windowHandle ? m_windowHandle() : 0, m_entries.itemText(index));
    // The entry's text is read again now: the list may have changed during the dial.
    const QString entry = m_entries.itemText(m_entries.selection());
    if (r == 0)
        m_log.appendLog(m_clock.now().toString(QStringLiteral("MM/dd HH:mm ")) + entry +
                        QStringLiteral("へ接続しました。"));
    else if (r == -1)
        m_log.appendLog(QStringLiteral("すでに接続しています。"));
    else
        m_log.appendLog(QStringLiteral("接続エラー ") + QString::number(r) + QStringLiteral("  ") +
                        entry);
    if (done)
        done();
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
