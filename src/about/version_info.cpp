#include "version_info.h"

namespace ringlark {

QString applicationTitle()
{
    return QStringLiteral("RINGLARK");
}

QString versionText()
{
    return QStringLiteral("ﾊﾞｰｼﾞｮﾝ ") + QString::number(RINGLARK_VERSION_MAJOR) + QLatin1Char('.') +
           QString::number(RINGLARK_VERSION_MINOR) + QLatin1Char('.') +
           QString::number(RINGLARK_VERSION_PATCH);
}

} // namespace ringlark
