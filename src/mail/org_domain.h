#pragma once

#include <QString>

namespace ringlark {

// The organisational domain of a host name, as DMARC defines it (RFC 7489, 3.2): the public
// suffix from the Public Suffix List plus one label. "mail.example.co.jp" gives
// "example.co.jp"; a public suffix itself ("co.jp", "com") has none and gives an empty text.
// The name is compared in lower case, without a trailing dot.
//
// On Linux the list is the system's (libpsl with the publicsuffix package). Where no list
// is at hand, every name is its own organisational domain: only an exact match aligns,
// which refuses some genuine mails but never accepts a forged one.
QString organisationalDomain(const QString &domain);

} // namespace ringlark
