#include "app_core.h"

#include "check_cycle.h"
#include "clock.h"
#include "dial_commands.h"
#include "dialup_connection.h"
#include "mail_text.h"
#include "pop3_session.h"
#include "qt_tcp_socket.h"
#include "session_report.h"
#include "session_settings.h"
#include "settings_store.h"
#include "timer.h"

#include <QCoreApplication>

namespace ringlark {

AppCore::AppCore(const AppServices &services, AppState &state, QObject *parent)
    : QObject(parent), m_services(services), m_state(state)
{
    m_timer1 = m_services.makeTimer ? m_services.makeTimer() : std::make_unique<QtTimer>();
    m_cycle = new CheckCycle(m_state, m_log, m_services.settingsStore, *m_timer1, this);
    m_pop3 = new Pop3Session(
        m_state.session,
        [this] { return sessionSettings(m_state.settings, m_services.clock.now()); },
        m_services.makeSocket ? m_services.makeSocket() : std::make_unique<QtTcpSocket>(),
        m_services.messageBox, m_services.watchdogMs, this);
    m_pop3Report = new SessionReport(*m_pop3, this);
    // A tick starts its session as if Command1 of the POP3 window were pressed, and waits
    // for SessionStep to reach Quit or Stop.
    m_cycle->setSessionStarter([this] { m_pop3->Command1_Click(); });
    connect(m_pop3, &Pop3Session::sessionStepChanged, m_cycle, &CheckCycle::sessionStepChanged);
    connect(m_pop3, &Pop3Session::triggerIgnored, &m_log, &EventLog::appendLog);
    connect(m_pop3, &Pop3Session::mailSkipped, &m_log, &EventLog::appendLog);
    connect(m_pop3, &Pop3Session::serverSilent, m_cycle, [this] {
        m_cycle->sessionStatus(QStringLiteral("状況：メールサーバーが応答しません"));
    });
    connect(m_pop3, &Pop3Session::ended, m_cycle, &CheckCycle::noteSessionEnd);
    connect(m_pop3, &Pop3Session::mailPassedOver, m_cycle, &CheckCycle::mailPassedOver);
    m_cycle->setWalkEndStore([this] {
        const QString id = m_pop3->walkIdentity();
        if (id.isEmpty() || id == m_state.settings.lastUidl)
            return;
        if (!m_state.settings.saveLastUidl(m_services.settingsStore, id))
            m_log.appendLog(QStringLiteral("LASTUIDL を保存できませんでした（") +
                            m_services.settingsStore.lastError() + QStringLiteral("）"));
    });
    m_cycle->setClock(m_services.clock);

    m_fInet = new WinInet(m_services.dialUp, this);
    m_dial = new DialCommands(
        *m_fInet, m_state.entries, m_state.settings, m_log, m_services.messageBox,
        m_services.clock, [this] { return m_windowHandle ? m_windowHandle() : 0; }, this);
    // The dial reports its end later; the check goes on from there.
    m_cycle->setDialCommand(
        [this](std::function<void(bool)> done) { m_dial->dial(std::move(done)); });
}

AppCore::~AppCore() = default;

void AppCore::setWindowHandle(std::function<quintptr()> handle)
{
    m_windowHandle = std::move(handle);
}

void AppCore::Form_Load(bool startMonitoring)
{
    // Listing never fails loudly: no entries, or a provider that cannot list them, leaves
    // the list empty.
    QStringList names;
    m_fInet->ListDUNs(names);
    m_state.entries.clear();
    for (const QString &name : names)
        m_state.entries.addItem(name);

    m_state.settings.load(m_services.settingsStore);

    const QString entry = m_state.settings.DialUpEntry.toString();
    if (!entry.isEmpty())
        m_state.entries.selectExact(entry);

    m_log.replaceAll(QStringLiteral("初期化終了しました"));
    // A check switched on by a word rather than a number: on, but the owner should know
    // that the store holds something the window never writes.
    for (const QString &flag : m_state.settings.triggerChecks.unreadableFlags())
        m_log.appendLog(shownText(flag) + QStringLiteral(" は数値ではないため、確認を有効にしました"));

    if (startMonitoring || m_state.settings.AutoStart.toString() == QStringLiteral("1")) {
        m_cycle->CmdStart_Click();
        m_log.appendWithoutCaret(QStringLiteral("起動しました"));
    }
}

void AppCore::Form_Unload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    m_cycle->abandon();
    // A dial under way is left to itself: nothing waits for it.
    m_fInet->abandonDial();
    if (m_services.endProgram)
        m_services.endProgram();
    else
        QCoreApplication::exit(0);
}

} // namespace ringlark
