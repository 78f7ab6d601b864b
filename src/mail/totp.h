#pragma once

#include "mail_date.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

namespace ringlark {

// One-time codes as every authenticator app makes them (RFC 6238 with HMAC-SHA-1, six
// digits, 30-second steps counted from the Unix epoch).
constexpr qint64 TotpStepSeconds = 30;
// A code is accepted from this many steps before the mail's Date to this many after it: a
// mail written within five minutes of reading the code passes, and a phone or mail server
// whose clock runs up to a minute behind the other does not matter.
constexpr qint64 TotpStepsBefore = 10;
constexpr qint64 TotpStepsAfter = 2;

qint64 totpStep(const QDateTime &instant);
QString totpCode(const QByteArray &key, qint64 step);

// The codes a subject offers: every run of exactly six ASCII digits with no digit right
// before or after it, so that part of a longer number (a date, an order number) is not a
// code. Full-width digits count once the subject is folded for comparison.
QStringList sixDigitRuns(const QString &subject);

// The latest step in the window around `instant` whose code is one of `codes`; nullopt when
// none is, or when the key is empty (a code of an empty key is no secret).
std::optional<qint64> acceptedStep(const QByteArray &key, const QStringList &codes,
                                   const QDateTime &instant);

} // namespace ringlark
