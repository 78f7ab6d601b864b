#pragma once

#include "dialup_provider.h"

#include <memory>

namespace ringlark {

// The platform's own dial-up provider: NetworkManager on Linux, Remote Access on Windows.
std::unique_ptr<DialUpProvider> makeDefaultDialUpProvider();

} // namespace ringlark
