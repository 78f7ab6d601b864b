#pragma once

#include "recognition.h"

#include <QString>

#include <functional>

namespace ringlark {

// The mailbox a session logs in to. server is the address as typed (see server_address.h).
struct Pop3Account
{
    QString server;
    QString user;
    QString password;
};

// What a session reads of the settings. The session asks for it when it starts, so that
// changes made between two sessions (the settings dialog, a new LastDate) apply to the next.
struct SessionSettings
{
    Pop3Account account;
    RecognitionRules rules;
    // LASTUID as stored: "<UIDVALIDITY>/<UID>" of the newest mail an IMAP walk examined.
    QString lastUid;
    // LASTUIDL as stored: the unique id of the newest mail a POP3 walk examined.
    QString lastUidl;
};

using SessionSettingsSource = std::function<SessionSettings()>;

} // namespace ringlark
