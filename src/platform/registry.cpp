#include "registry.h"

#include <cstring>

namespace ringlark {

qint32 Registry::deliver(const QByteArray &stored, char *data, quint32 &size)
{
    const auto needed = static_cast<quint32>(stored.size());
    if (needed > size || (needed > 0 && data == nullptr)) {
        size = needed;
        return ErrorMoreData;
    }
    if (needed > 0)
        std::memcpy(data, stored.constData(), needed);
    size = needed;
    return ErrorSuccess;
}

} // namespace ringlark
