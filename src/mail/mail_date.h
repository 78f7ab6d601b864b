#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

namespace ringlark {

// The date and time of a Date header as written, in Qt::UTC (see asWritten), and its zone
// in seconds east of UTC: nullopt when the text names none. An unknown zone name counts as
// UTC, as RFC 5322 reads it.
struct WrittenDate
{
    QDateTime value;
    std::optional<qint64> zoneOffset;
};

// Reads the text of a Date header as RFC 5322 writes it, obsolete forms included: an
// optional weekday (with or without its comma), a one- or two-digit day, an English month
// name, a two-, three- or four-digit year, hours and minutes with optional seconds (blanks
// around the colons allowed), then a numeric zone or a zone name, with comments such as
// "(JST)", folding and extra blanks anywhere. Two forms that broken mailers still send are
// read too: the C library's "Sat Sep 25 09:00:00 2004" (taken as local time) and
// "2004-09-25 09:00:00".
//
// nullopt when the text holds no readable date and time. A pure function over its
// argument, linear in its length, with no state: safe on any input.
std::optional<WrittenDate> readMailDate(const QString &text);
// The date as written, zone ignored.
std::optional<QDateTime> parseMailDate(const QString &text);
// The instant the header names, in Qt::UTC; a date without a zone is the machine's time.
std::optional<QDateTime> mailInstant(const QString &text);
// That instant on the machine's clock, held "as written" in Qt::UTC like every stored date:
// what is compared with LastDate and stored there.
std::optional<QDateTime> localMailDate(const QString &text);

} // namespace ringlark
