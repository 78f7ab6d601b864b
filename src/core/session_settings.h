#pragma once

#include "pop3_account.h"

#include <QDateTime>

namespace ringlark {

struct SettingsTable;

// How far ahead of the machine's clock a trigger mail may be dated: a sender's clock that
// runs a little fast, not a day's worth of forged future.
constexpr qint64 LatestBelievableSeconds = 60 * 60;

// What a POP3 session reads of the settings table, in the form it reads it. `now`, the
// machine's clock, bounds the mail dates believed (an hour ahead of it) and the dates of
// mails whose code counts; invalid: no bound.
SessionSettings sessionSettings(const SettingsTable &settings, const QDateTime &now = {});

} // namespace ringlark
