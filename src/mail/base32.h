#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace ringlark {

// RFC 4648 base32, as authenticator apps take a secret: upper-case letters and 2 to 7,
// without padding (the secrets this program makes are 20 bytes, which need none).
QString base32Encode(const QByteArray &bytes);

// Letters of either case, padding optional. Blanks are skipped, since apps and people
// show secrets in groups of four. nullopt for any other character, padding that is not at
// the end, or a length that no byte count encodes to.
std::optional<QByteArray> base32Decode(QStringView text);

} // namespace ringlark
