#include "app_core.h"

#include "auto_hang_up.h"
#include "check_cycle.h"
#include "clock.h"
#include "curl_smtp_sender.h"
#include "dial_commands.h"
#include "dialup_connection.h"
#include "imap_session.h"
#include "mail_text.h"
#include "pop3_session.h"
#include "qt_tcp_socket.h"
#include "session_report.h"
#include "session_settings.h"
#include "session_switch.h"
#include "settings_store.h"
#include "timer.h"
#include "trigger_replies.h"

#include <QCoreApplication>

namespace ringlark {

AppCore::AppCore(const AppServices &services, AppState &state, QObject *parent)
    : QObject(parent), m_services(services), m_state(state), m_sessionBox(services.messageBox)
{
    const auto makeSocket = [this]() -> std::unique_ptr<TcpSocket> {
        return m_services.makeSocket ? m_services.makeSocket() : std::make_unique<QtTcpSocket>();
    };
    const SessionSettingsSource settings = [this] {
        return sessionSettings(m_state.settings, m_services.clock.now());
    };
    // The IMAP session and the hang-up clock take their socket and timer first, so that the
    // POP3 socket and Timer1 are the factories' last products, as tests of the POP3 path
    // expect.
    m_imap = new ImapSession(m_state.session, settings, makeSocket(), m_sessionBox,
                             m_services.makeTimer, this);
    m_autoHangUp = new AutoHangUp(makeTimer(m_services.makeTimer), this);
    m_timer1 = makeTimer(m_services.makeTimer);
    m_cycle = new CheckCycle(m_state, m_log, m_services.settingsStore, *m_timer1, this);
    m_pop3 = new Pop3Session(m_state.session, settings, makeSocket(), m_sessionBox,
                             m_services.makeTimer, this);
    m_session = new SessionSwitch(*m_pop3, *m_imap, this);
    m_pop3Report = new SessionReport(*m_session, this);
    // A tick starts its session as if Command1 of the POP3 window were pressed, and waits
    // for SessionStep to reach Quit or Stop.
    m_cycle->setSessionStarter([this] {
        m_imap->setRetryCap(m_cycle->timerInterval());
        m_session->Command1_Click();
    });
    connect(m_session, &MailSession::sessionStepChanged, m_cycle, &CheckCycle::sessionStepChanged);
    connect(m_session, &MailSession::triggerIgnored, &m_log, &EventLog::appendLog);
    connect(m_session, &MailSession::mailSkipped, &m_log, &EventLog::appendLog);
    connect(m_session, &MailSession::serverSilent, m_cycle, [this] {
        m_cycle->sessionStatus(QStringLiteral("状況：メールサーバーが応答しません"));
    });
    connect(m_session, &MailSession::ended, m_cycle, &CheckCycle::noteSessionEnd);
    connect(m_session, &MailSession::ended, this,
            [this](SessionFailure, const QString &detail) { m_sessionBox.keepIfStill(detail); });
    connect(m_session, &MailSession::mailPassedOver, m_cycle, &CheckCycle::mailPassedOver);

    // Push: the server's news runs a check at once; the interval only paces reconnects.
    connect(m_imap, &ImapSession::checkWanted, m_cycle, &CheckCycle::checkNow,
            Qt::QueuedConnection);
    connect(m_imap, &ImapSession::pushLost, m_cycle,
            [this] { m_cycle->noteSessionEnd(SessionFailure::PushLost, QString()); });
    connect(m_cycle, &CheckCycle::buttonChanged, this, [this] {
        const bool on = m_cycle->monitoring();
        m_session->setPushAllowed(on);
        // With IMAP the connection that idles is made at once, not an interval later.
        if (on && !std::exchange(m_monitoring, on) && m_session->imapChosen())
            QMetaObject::invokeMethod(m_cycle, &CheckCycle::checkNow, Qt::QueuedConnection);
        m_monitoring = on;
    });
    // Where each protocol's walk ended: the next walk ends there, by identity.
    m_cycle->setWalkEndStore([this] {
        SettingsTable &table = m_state.settings;
        SettingsStore &store = m_services.settingsStore;
        const auto keep = [this, &store](const QString &identity, const QString &stored,
                                         const char *key, auto save) {
            if (identity.isEmpty() || identity == stored || save(identity))
                return;
            m_log.appendLog(QLatin1StringView(key) + QStringLiteral(" を保存できませんでした（") +
                            store.lastError() + QStringLiteral("）"));
        };
        keep(m_imap->walkIdentity(), table.lastUid, "LASTUID",
             [&](const QString &id) { return table.saveLastUid(store, id); });
        keep(m_pop3->walkIdentity(), table.lastUidl, "LASTUIDL",
             [&](const QString &id) { return table.saveLastUidl(store, id); });
    });
    m_cycle->setClock(m_services.clock);

    m_fInet = new WinInet(m_services.dialUp, this);
    m_dial = new DialCommands(
        *m_fInet, m_state.entries, m_state.settings, m_log, m_services.messageBox,
        m_services.clock, [this] { return m_windowHandle ? m_windowHandle() : 0; }, this);
    // The dial reports its end later; the check goes on from there.
    m_cycle->setDialCommand(
        [this](std::function<void(bool)> done) { m_dial->dial(std::move(done)); });
    m_cycle->setHangUpCommand(
        [this](std::function<void()> done) { m_dial->hangUpByMail(std::move(done)); });
    wireReplies();
}

void AppCore::wireReplies()
{
    m_sender = m_services.makeMailSender ? m_services.makeMailSender()
                                         : std::make_unique<CurlSmtpSender>();
    m_replies = new TriggerReplies(m_state.settings, m_log, m_services.clock, *m_sender, this);
    connect(m_cycle, &CheckCycle::checkFinished, m_replies, &TriggerReplies::checkFinished);
    connect(m_cycle, &CheckCycle::triggerActedOn, this, [this](bool hangUp) {
        const TriggerMail &mail = m_state.session.TriggerFoundMail;
        const DialCommands::Outcome &outcome = m_dial->lastOutcome();
        if (!hangUp) {
            // A connection that was up before the trigger counts as "already connected".
            const qint32 result =
                outcome.result == 0 && m_fInet->upBeforeDial() ? -1 : outcome.result;
            m_autoHangUp->triggerDialled(result,
                                         m_state.settings.reply.hangUpAfterMs().value_or(0));
            if (m_autoHangUp->running())
                m_connectionRequest = mail;
        }
        m_replies->answer(mail, outcome);
    });
    connect(m_cycle, &CheckCycle::requestGivenUp, this, [this](const QString &line) {
        DialCommands::Outcome outcome;
        outcome.result = m_dial->lastOutcome().result;
        outcome.entry = m_dial->lastOutcome().entry;
        outcome.line = line;
        m_replies->answer(m_state.session.TriggerFoundMail, outcome);
    });
    connect(m_fInet, &WinInet::ConnectionClosed, m_autoHangUp, &AutoHangUp::connectionClosed);
    connect(m_autoHangUp, &AutoHangUp::due, this, [this] {
        m_dial->hangUpAfterTime(m_state.settings.reply.hangUpAfter,
                                [this, request = m_connectionRequest] {
                                    m_replies->answer(request, m_dial->lastOutcome());
                                });
    });
}

AppCore::~AppCore() = default;

void AppCore::setWindowHandle(std::function<quintptr()> handle)
{
    m_windowHandle = std::move(handle);
}

void AppCore::Form_Load(bool startMonitoring)
{
    // Listing never fails loudly: no entries, or a provider that cannot list them, leaves
    // the list empty. The system is asked, not waited for: the list fills when it answers,
    // unless a dial has filled it meanwhile (each dial reads it afresh anyway).
    m_state.entries.clear();
    m_fInet->ListDUNsLater([this](const QStringList &names) {
        if (!m_state.entries.items().isEmpty())
            return;
        for (const QString &name : names)
            m_state.entries.addItem(name);
        const QString entry = m_state.settings.DialUpEntry.toString();
        if (!entry.isEmpty())
            m_state.entries.selectExact(entry);
    });

    m_state.settings.load(m_services.settingsStore);

    m_log.replaceAll(QStringLiteral("初期化終了しました"));
    // A check switched on by a word rather than a number: on, but the owner should know
    // that the store holds something the window never writes.
    for (const QString &flag : m_state.settings.triggerChecks.unreadableFlags())
        m_log.appendLog(shownText(flag) + QStringLiteral(" は数値ではないため、確認を有効にしました"));

    // With no window, no server means nothing to do: monitoring is not even started.
    if (startMonitoring && settingText(m_state.settings.Pop3Server).trimmed().isEmpty()) {
        m_log.appendLog(
            QStringLiteral("メールサーバーが設定されていません。設定の POP3ｻｰﾊﾞ を入れてください"));
        return;
    }
    if (startMonitoring || m_state.settings.AutoStart.toString() == QStringLiteral("1")) {
        m_cycle->CmdStart_Click();
        // An interval it cannot work with leaves monitoring off, and says so.
        if (m_cycle->monitoring())
            m_log.appendWithoutCaret(QStringLiteral("起動しました"));
    }
}

void AppCore::Form_Unload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    m_cycle->abandon();
    // An IDLE ends with DONE and LOGOUT, at once.
    m_session->setPushAllowed(false);
    // A dial under way is left to itself: nothing waits for it.
    m_fInet->abandonDial();
    if (m_services.endProgram)
        m_services.endProgram();
    else
        QCoreApplication::exit(0);
}

} // namespace ringlark
