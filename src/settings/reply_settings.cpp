#include "reply_settings.h"

#include "settings_store.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace ringlark {

namespace {

struct KeyOf
{
    const char *name;
    QString ReplySettings::*entry;
};

constexpr std::array<KeyOf, 7> kKeys{{{"REPLY_CHECK", &ReplySettings::replyCheck},
                                      {"REPLY_FROM", &ReplySettings::replyFrom},
                                      {"SMTPSERVER", &ReplySettings::smtpServer},
                                      {"SMTPUSER", &ReplySettings::smtpUser},
                                      {"SMTPPASSWORD", &ReplySettings::smtpPassword},
                                      {"HANGUP_SUBJECT", &ReplySettings::hangUpSubject},
                                      {"HANGUP_AFTER", &ReplySettings::hangUpAfter}}};

} // namespace

std::optional<qint64> ReplySettings::hangUpAfterMs() const
{
    bool ok = false;
    const double minutes = hangUpAfter.trimmed().toDouble(&ok);
    // Twenty days at most: a timer holds no more than 24, and anything longer is a typing
    // error.
    if (!ok || !(minutes > 0) || !std::isfinite(minutes))
        return std::nullopt;
    const double ms = std::min(minutes, 20.0 * 24 * 60) * 60000.0;
    return std::max<qint64>(1000, static_cast<qint64>(ms));
}

void ReplySettings::load(const SettingsStore &store)
{
    for (const KeyOf &k : kKeys)
        this->*k.entry = store.read(QString::fromLatin1(k.name), QString());
}

QStringList ReplySettings::save(SettingsStore &store) const
{
    QStringList failed;
    for (const KeyOf &k : kKeys)
        if (!store.write(QString::fromLatin1(k.name), this->*k.entry))
            failed.append(QString::fromLatin1(k.name));
    return failed;
}

} // namespace ringlark
