#pragma once

#include <QString>

#include <optional>

namespace ringlark {

// Where the mail server is, as read from the server setting, and which protocol it speaks.
struct ServerAddress
{
    enum class Protocol
    {
        Pop3,
        Imap
    };

    QString host; // a name or an address, IPv6 without brackets
    quint16 port = 110;
    bool tls = false; // TLS from the first byte
    Protocol protocol = Protocol::Pop3;

    friend bool operator==(const ServerAddress &, const ServerAddress &) = default;
};

// Accepts "host" (port 110, the classic form), "host:port", "[v6addr]" and "[v6addr]:port",
// a bare IPv6 address, "pop3://host[:port]" (the same, plain) and "pop3s://host[:port]" (TLS,
// port 995 by default); "imap://host[:port]" (IMAP, plain, port 143) and "imaps://host[:port]"
// (IMAP over TLS, port 993). Surrounding blanks and one trailing "/" after a scheme are ignored.
// Anything else, the empty text included, gives nullopt.
std::optional<ServerAddress> parseServerAddress(const QString &text);

} // namespace ringlark
