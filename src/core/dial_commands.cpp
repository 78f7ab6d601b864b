#include "dial_commands.h"

#include "clock.h"
#include "dialup_connection.h"
#include "dialup_entry_list.h"
#include "dialup_result.h"
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

QString DialCommands::entryToDial(const QStringList &current)
{
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
    if (m_fInet.dialling() || m_listing) {
        m_byUser = m_byUser || byUser;
        return; // its result answers this call too
    }
    m_byUser = byUser;
    // The list as the system has it now, not as it was at start-up: at login NetworkManager
    // may come up after the program, and profiles are made and renamed while it runs.
    m_listing = true;
    m_fInet.ListDUNsLater([this](const QStringList &current) {
        m_listing = false;
        m_dialled = entryToDial(current);
        if (m_dialled.isEmpty()) {
            askForEntry();
            finish(false);
            return;
        }
        m_fInet.StartDUN(m_windowHandle ? m_windowHandle() : 0, m_dialled);
    });
}

void DialCommands::onStartDUNFinished(qint32 r)
{
    // The entry's text is read again now: the list may have changed during the dial.
    const int index = m_entries.selection();
    const QString entry = index >= 0 ? m_entries.itemText(index) : m_dialled;
    m_outcome = {r, entry, {}, {}, {}};
    if (r == 0 || r == -1)
        m_failures.forget();
    if (r == 0)
        m_outcome.line = m_clock.now().toString(QStringLiteral("MM/dd HH:mm ")) + entry +
                         QStringLiteral("へ接続しました。");
    else if (r == -1)
        m_outcome.line = QStringLiteral("すでに接続しています。");
    else
        m_outcome.line =
            QStringLiteral("接続エラー ") + QString::number(r) + QStringLiteral("  ") + entry;
    const bool logged = r == 0 || r == -1 || isNews(m_outcome.line);
    if (logged)
        m_log.appendLog(m_outcome.line);
    if (r == 0 || r == -1) {
        m_outcome.addresses = m_fInet.addresses();
        if (!m_outcome.addresses.isEmpty())
            m_log.appendLog(QStringLiteral("アドレス: ") +
                            m_outcome.addresses.join(QStringLiteral(", ")));
    } else {
        m_outcome.advice = dialup::advice(r);
        if (logged && !m_outcome.advice.isEmpty())
            m_log.appendLog(m_outcome.advice);
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
    m_fInet.HangUp([self = QPointer<DialCommands>(this)](qint32 r) {
        if (!self)
            return;
        if (r == 0)
            self->m_log.appendLog(QStringLiteral("切断しました"));
        else if (r == -1)
            self->m_log.appendLog(QStringLiteral("接続していませんでした"));
        else
            self->m_log.appendLog(QStringLiteral("切断できません　エラー: ") + QString::number(r));
    });
}

void DialCommands::hangUpByMail(std::function<void()> done)
{
    hangUpUnattended(QStringLiteral("を切断しました（メールによる切断）。"), std::move(done));
}

void DialCommands::hangUpAfterTime(const QString &minutes, std::function<void()> done)
{
    hangUpUnattended(QStringLiteral("を切断しました（接続から") + minutes.trimmed() +
                         QStringLiteral("分）。"),
                     std::move(done));
}

void DialCommands::hangUpUnattended(const QString &hungUp, std::function<void()> done)
{
    const QString stored = m_settings.DialUpEntry.toString();
    const int index = m_entries.selection();
    const QString entry = index >= 0 ? m_entries.itemText(index) : stored;
    m_fInet.HangUpEntry(entry, [self = QPointer<DialCommands>(this), entry, hungUp,
                                done = std::move(done)](qint32 r) {
        if (!self)
            return;
        self->m_outcome = {r, entry, {}, {}, {}};
        const QString time = self->m_clock.now().toString(QStringLiteral("MM/dd HH:mm "));
        if (r == 0)
            self->m_outcome.line = time + entry + hungUp;
        else if (r == -1)
            self->m_outcome.line = time + entry + QStringLiteral("には接続していませんでした");
        else
            self->m_outcome.line = time + entry + QStringLiteral("を切断できません　エラー: ") +
                                   QString::number(r);
        self->m_log.appendLog(self->m_outcome.line);
        if (done)
            done();
    });
}

} // namespace ringlark
