#include "ini_settings_store.h"

namespace ringlark {

std::unique_ptr<SettingsStore> makeDefaultSettingsStore()
{
    return std::make_unique<IniSettingsStore>();
}

} // namespace ringlark
