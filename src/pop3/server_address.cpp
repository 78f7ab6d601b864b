#include "server_address.h"

#include <QHostAddress>

namespace ringlark {

namespace {

bool validHostName(const QString &host)
{
    if (host.isEmpty())
        return false;
    for (const QChar c : host) {
        if (c.isSpace() || c.category() == QChar::Other_Control)
            return false;
        if (QStringView(u"/?#@[]:\\%,;\"'<>").contains(c))
            return false;
    }
    return true;
}

std::optional<quint16> readPort(QStringView text)
{
    if (text.isEmpty() || text.size() > 5)
        return std::nullopt;
    for (const QChar c : text)
        if (c < u'0' || c > u'9')
            return std::nullopt;
    const int port = text.toInt();
    if (port < 1 || port > 65535)
        return std::nullopt;
    return static_cast<quint16>(port);
}

bool isIpv6(const QString &text)
{
    QHostAddress address;
    return address.setAddress(text) && address.protocol() == QAbstractSocket::IPv6Protocol;
}

} // namespace

std::optional<ServerAddress> parseServerAddress(const QString &text)
{
    QString rest = text.trimmed();
    ServerAddress out;

    const qsizetype scheme = rest.indexOf(u"://");
    if (scheme >= 0) {
        const QString name = rest.left(scheme).toLower();
        const bool imap = name.startsWith(u"imap");
        if (name != u"pop3" && name != u"pop3s" && name != u"imap" && name != u"imaps")
            return std::nullopt;
        out.tls = name.endsWith(u's');
        out.protocol = imap ? ServerAddress::Protocol::Imap : ServerAddress::Protocol::Pop3;
        out.port = imap ? (out.tls ? 993 : 143) : (out.tls ? 995 : 110);
        rest = rest.mid(scheme + 3);
        if (rest.endsWith(u'/'))
            rest.chop(1);
    }

    if (rest.startsWith(u'[')) {
        const qsizetype close = rest.indexOf(u']');
        if (close < 0)
            return std::nullopt;
        out.host = rest.mid(1, close - 1);
        if (!isIpv6(out.host))
            return std::nullopt;
        const QStringView after = QStringView(rest).mid(close + 1);
        if (after.isEmpty())
            return out;
        if (!after.startsWith(u':'))
            return std::nullopt;
        const auto port = readPort(after.mid(1));
        if (!port)
            return std::nullopt;
        out.port = *port;
        return out;
    }

    // Two or more colons without brackets can only be an IPv6 address on the default port.
    if (rest.count(u':') > 1) {
        if (!isIpv6(rest))
            return std::nullopt;
        out.host = rest;
        return out;
    }

    const qsizetype colon = rest.indexOf(u':');
    if (colon >= 0) {
        const auto port = readPort(QStringView(rest).mid(colon + 1));
        if (!port)
            return std::nullopt;
        out.port = *port;
        rest = rest.left(colon);
    }
    if (!validHostName(rest))
        return std::nullopt;
    out.host = rest;
    return out;
}

} // namespace ringlark
