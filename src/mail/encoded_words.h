#pragma once

#include <QString>

namespace ringlark {

// Decodes the RFC 2047 encoded words in a header text: "=?charset?B?...?=" (base64) and
// "=?charset?Q?...?=" (quoted-printable with "_" for a blank), in every character set that
// QStringDecoder knows (UTF-8, ISO-2022-JP, Shift_JIS, EUC-JP, ISO-8859-x and more). The
// blanks between two adjacent encoded words are dropped, as RFC 2047 asks; the blanks between
// an encoded word and plain text are kept.
//
// Mailers are lenient, so this is too: encoded words are also read inside quoted strings and
// without blanks around them, a language suffix ("UTF-8*ja") is ignored, and adjacent words of
// the same character set are decoded together, so that a character split between two words
// (which some mailers do to multi-byte and ISO-2022-JP text) survives. A word with an unknown
// character set, an unknown encoding or a broken body is left as it stands.
QString decodeEncodedWords(const QString &text);

} // namespace ringlark
