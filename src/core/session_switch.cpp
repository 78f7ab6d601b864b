#include "session_switch.h"

#include "imap_session.h"
#include "pop3_session.h"
#include "server_address.h"

namespace ringlark {

SessionSwitch::SessionSwitch(Pop3Session &pop3, ImapSession &imap, QObject *parent)
    : MailSession(parent), m_pop3(pop3), m_imap(imap)
{
    for (MailSession *session :
         {static_cast<MailSession *>(&pop3), static_cast<MailSession *>(&imap)}) {
        connect(session, &MailSession::sessionStepChanged, this, &MailSession::sessionStepChanged);
        connect(session, &MailSession::runningChanged, this, &MailSession::runningChanged);
        connect(session, &MailSession::started, this, &MailSession::started);
        connect(session, &MailSession::dataArrived, this, &MailSession::dataArrived);
        connect(session, &MailSession::mailExamined, this, &MailSession::mailExamined);
        connect(session, &MailSession::walkEnded, this, &MailSession::walkEnded);
        connect(session, &MailSession::failed, this, &MailSession::failed);
        connect(session, &MailSession::serverSilent, this, &MailSession::serverSilent);
        connect(session, &MailSession::triggerIgnored, this, &MailSession::triggerIgnored);
        connect(session, &MailSession::ended, this, &MailSession::ended);
        connect(session, &MailSession::mailPassedOver, this, &MailSession::mailPassedOver);
        connect(session, &MailSession::mailSkipped, this, &MailSession::mailSkipped);
    }
}

bool SessionSwitch::imapChosen() const
{
    const std::optional<ServerAddress> address =
        parseServerAddress(m_pop3.currentSettings().account.server);
    return address && address->protocol == ServerAddress::Protocol::Imap;
}

void SessionSwitch::Command1_Click()
{
    m_imapActive = imapChosen();
    // A server changed from IMAP to POP3 leaves no IDLE behind.
    m_imap.setPushAllowed(m_imapActive && m_pushAllowed);
    active().Command1_Click();
}

void SessionSwitch::setPushAllowed(bool allowed)
{
    m_pushAllowed = allowed;
    m_imap.setPushAllowed(allowed && m_imapActive);
}

MailSession &SessionSwitch::active() const
{
    if (m_imapActive)
        return m_imap;
    return m_pop3;
}

bool SessionSwitch::isRunning() const
{
    return m_pop3.isRunning() || m_imap.isRunning();
}

const SessionValues &SessionSwitch::values() const
{
    return m_pop3.values();
}

SessionSettings SessionSwitch::currentSettings() const
{
    return m_pop3.currentSettings();
}

const SessionSettings &SessionSwitch::sessionSettings() const
{
    return active().sessionSettings();
}

} // namespace ringlark
