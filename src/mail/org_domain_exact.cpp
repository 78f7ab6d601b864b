#include "org_domain.h"

namespace ringlark {

// No Public Suffix List on this platform: a name stands for itself, so that alignment needs
// the same name on both sides. A name without a dot may be a suffix ("com"): none.
QString organisationalDomain(const QString &domain)
{
    QString name = domain.trimmed().toLower();
    while (name.endsWith(QLatin1Char('.')))
        name.chop(1);
    return name.contains(QLatin1Char('.')) ? name : QString();
}

} // namespace ringlark
