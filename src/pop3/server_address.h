#pragma once

#include <QString>

#include <optional>

namespace ringlark {

// Where the POP3 server is, as read from the server setting.
struct ServerAddress
{
    QString host; // a name or an address, IPv6 without brackets
    quint16 port = 110;
    bool tls = false; // TLS from the first byte

    friend bool operator==(const ServerAddress &, const ServerAddress &) = default;
};

// Accepts "host" (port 110, the classic form), "host:port", "[v6addr]" and "[v6addr]:port",
// a bare IPv6 address, "pop3://host[:port]" (the same, plain) and "pop3s://host[:port]" (TLS,
// port 995 by default). Surrounding blanks and one trailing "/" after a scheme are ignored.
// Anything else, the empty text included, gives nullopt.
std::optional<ServerAddress> parseServerAddress(const QString &text);

} // namespace ringlark
