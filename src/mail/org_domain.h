#pragma once

#include <QString>

namespace ringlark {

// The organisational domain of a host name, as DMARC defines it (RFC 7489, 3.2): the public
// suffix from the Public Suffix List plus one label. "mail.example.co.jp" gives
// "example.co.jp"; a public suffix itself ("co.jp", "com") has none and gives an empty text.
// The name is compared in lower case, without a trailing dot.
// The list is libpsl's: on Linux the publicsuffix package's, on Windows the one built in.
QString organisationalDomain(const QString &domain);

} // namespace ringlark
