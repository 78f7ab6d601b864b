#pragma once

#include "dialup_entry_list.h"
#include "session_values.h"
#include "settings_table.h"

namespace ringlark {

// The shared run-time records, one per kind, alive for the whole run.
struct AppState
{
    SettingsTable settings;
    SessionValues session;
    DialUpEntryList entries;
};

} // namespace ringlark
