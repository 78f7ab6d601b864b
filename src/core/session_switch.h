#pragma once

#include "mail_session.h"

namespace ringlark {

class ImapSession;
class Pop3Session;

// The mail session the check cycle and the diagnostic window see: POP3 or IMAP, chosen at
// each start by the server setting's scheme (imap:// and imaps:// for IMAP). Both sessions
// share the session values, so either can follow the other.
class SessionSwitch : public MailSession
{
    Q_OBJECT
public:
    SessionSwitch(Pop3Session &pop3, ImapSession &imap, QObject *parent = nullptr);

    void Command1_Click() override;
    bool isRunning() const override;
    const SessionValues &values() const override;
    SessionSettings currentSettings() const override;
    const SessionSettings &sessionSettings() const override;

    // Whether the server setting names an IMAP server now.
    bool imapChosen() const;
    // Whether an IMAP session may stay connected and idle: while monitoring is on.
    void setPushAllowed(bool allowed);

private:
    MailSession &active() const;

    Pop3Session &m_pop3;
    ImapSession &m_imap;
    bool m_imapActive = false; // the session started last
    bool m_pushAllowed = false;
};

} // namespace ringlark
