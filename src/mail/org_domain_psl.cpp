#include "org_domain.h"

#include <libpsl.h>

namespace ringlark {

QString organisationalDomain(const QString &domain)
{
    // The newest of the list built into libpsl and the one the publicsuffix package keeps
    // up to date; loaded once, read-only afterwards.
    static const psl_ctx_t *const list = [] {
        const psl_ctx_t *latest = psl_latest(nullptr);
        return latest ? latest : psl_builtin();
    }();
    QString name = domain.trimmed().toLower();
    while (name.endsWith(QLatin1Char('.')))
        name.chop(1);
    if (name.isEmpty() || !list)
        return {};
    const QByteArray utf8 = name.toUtf8();
    const char *registrable = psl_registrable_domain(list, utf8.constData());
    return registrable ? QString::fromUtf8(registrable) : QString();
}

} // namespace ringlark
