#pragma once

#include <QString>

#include <optional>

namespace ringlark {

// Where replies go, as read from SMTPSERVER.
struct SmtpServer
{
    QString host; // a name or an address, IPv6 without brackets
    quint16 port = 587;
    bool tls = false; // smtps: TLS from the first byte
    // smtp: STARTTLS is required before the password, except to a loopback address, where
    // nothing leaves the machine.
    bool startTlsRequired = true;

    // The URL for libcurl.
    QString url() const;
};

// "smtps://host[:port]" (port 465) or "smtp://host[:port]" (port 587), IPv6 in brackets;
// surrounding blanks and one trailing "/" are ignored. Anything else gives nullopt.
std::optional<SmtpServer> parseSmtpServer(const QString &text);

} // namespace ringlark
