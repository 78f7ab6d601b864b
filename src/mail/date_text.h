#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

namespace ringlark {

// Mail and setting dates are calendar date-times "as written", without a time zone. They are
// held as QDateTime in Qt::UTC so that no daylight-saving rule can shift or invalidate them.
QDateTime asWritten(const QDate &date, const QTime &time);

// The stored text form, "yyyy/MM/dd HH:mm:ss", as in the default "2003/04/01 00:00:00".
QString dateText(const QDateTime &value);

// Reads a stored date text: the written form, the single-digit forms older versions left
// ("2004/9/5 9:00:00"), a date alone (midnight), and the system locale's short form.
std::optional<QDateTime> readDateText(const QString &text);

} // namespace ringlark
