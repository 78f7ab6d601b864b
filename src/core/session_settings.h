#pragma once

#include "pop3_account.h"

namespace ringlark {

struct SettingsTable;

// What a POP3 session reads of the settings table, in the form it reads it.
SessionSettings sessionSettings(const SettingsTable &settings);

} // namespace ringlark
