#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

namespace ringlark {

// Reads the text of a Date header as RFC 5322 writes it, obsolete forms included: an
// optional weekday (with or without its comma), a one- or two-digit day, an English month
// name, a two-, three- or four-digit year, hours and minutes with optional seconds, then a
// numeric zone or a zone name, with comments such as "(JST)", folding and extra blanks
// anywhere. Two forms that broken mailers still send are read too: the C library's
// "Sat Sep 25 09:00:00 2004" and "2004-09-25 09:00:00".
//
// The zone is ignored: the result is the date and time as written, in Qt::UTC (see
// asWritten). nullopt when the text holds no readable date and time.
//
// A pure function over its argument, linear in its length, with no state: safe on any input.
std::optional<QDateTime> parseMailDate(const QString &text);

} // namespace ringlark
