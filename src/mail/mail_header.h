#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace ringlark {

// One complete line of a server reply as text. Valid UTF-8 is read as UTF-8 (plain ASCII,
// and the raw UTF-8 headers some senders use); anything else as Latin-1, which keeps each
// byte as one character so that nothing is lost or replaced. Lines are decoded only once
// complete, so a multi-byte character split between two network reads survives.
QString decodeMailLine(const QByteArray &line);

struct HeaderField
{
    QString name;  // as written, without the colon: "Subject" or the obsolete "Subject "
    QString value; // unfolded, starting at the first non-blank after the colon
};

// The fields of a mail header, in order. Only the header block is read: it ends at the first
// empty line, since TOP n 1 also returns a body line that may look like a field. A field line
// starts with its name; lines that begin with a space or tab continue the field above and are
// joined to it with their line break removed, as RFC 5322 unfolds them. Lines that are
// neither are skipped. A trailing CR (a reply split at bare LFs) is not part of the text.
QList<HeaderField> headerFields(const QList<QByteArray> &lines);

// Whether the field has this name, ignoring letter case and blanks before the colon.
bool isField(const HeaderField &field, QLatin1StringView name);
// The value of the first field with this name, ignoring letter case.
std::optional<QString> fieldValue(const QList<HeaderField> &fields, QLatin1StringView name);

} // namespace ringlark
