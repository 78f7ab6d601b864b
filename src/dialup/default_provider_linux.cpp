#include "default_provider.h"

#include "networkmanager_provider.h"

namespace ringlark {

std::unique_ptr<DialUpProvider> makeDefaultDialUpProvider()
{
    return std::make_unique<NetworkManagerProvider>(QDBusConnection::systemBus());
}

} // namespace ringlark
