#pragma once

#include "pop3_account.h"

#include <QDateTime>

namespace ringlark {

struct SettingsTable;

// What a POP3 session reads of the settings table, in the form it reads it. `now`, the
// machine's clock, bounds the mail dates believed (a day ahead of it); invalid: no bound.
SessionSettings sessionSettings(const SettingsTable &settings, const QDateTime &now = {});

} // namespace ringlark
