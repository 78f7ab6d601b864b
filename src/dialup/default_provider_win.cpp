#include "default_provider.h"

#include "windows_provider_win.h"

namespace ringlark {

std::unique_ptr<DialUpProvider> makeDefaultDialUpProvider()
{
    return std::make_unique<WindowsDialUpProvider>();
}

} // namespace ringlark
