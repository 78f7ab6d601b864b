#include "smtp_server.h"

#include <QHostAddress>
#include <QRegularExpression>

namespace ringlark {

QString SmtpServer::url() const
{
    const QString shownHost = host.contains(u':') ? u'[' + host + u']' : host;
    return (tls ? QStringLiteral("smtps://") : QStringLiteral("smtp://")) + shownHost + u':' +
           QString::number(port);
}

std::optional<SmtpServer> parseSmtpServer(const QString &text)
{
    static const QRegularExpression kForm(
        QStringLiteral(
            R"(^(smtps?)://(?:\[([0-9A-Fa-f:.]+)\]|([A-Za-z0-9._-]+))(?::(\d{1,5}))?/?$)"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = kForm.match(text.trimmed());
    if (!m.hasMatch())
        return std::nullopt;
    SmtpServer server;
    server.tls = m.captured(1).compare(QLatin1StringView("smtps"), Qt::CaseInsensitive) == 0;
    server.host = m.hasCaptured(2) && !m.captured(2).isEmpty() ? m.captured(2) : m.captured(3);
    server.port = server.tls ? 465 : 587;
    if (m.hasCaptured(4) && !m.captured(4).isEmpty()) {
        const uint port = m.captured(4).toUInt();
        if (port == 0 || port > 65535)
            return std::nullopt;
        server.port = static_cast<quint16>(port);
    }
    const QHostAddress address(server.host);
    const bool loopback =
        server.host.compare(QLatin1StringView("localhost"), Qt::CaseInsensitive) == 0 ||
        (!address.isNull() && address.isLoopback());
    server.startTlsRequired = !server.tls && !loopback;
    return server;
}

} // namespace ringlark
