#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace ringlark {

class SettingsStore;

// The settings of the reply to the sender and of the two ways a connection is hung up
// without anyone at the machine: by mail, and by itself after a while. Kept in the same
// store and section as the eleven settings; every key is optional and a missing one means
// off, so older settings files behave as before.
struct ReplySettings
{
    QString replyCheck;    // "REPLY_CHECK": on for any value but empty or "0"
    QString replyFrom;     // "REPLY_FROM": the reply's From; empty: USERNAME when an address
    QString smtpServer;    // "SMTPSERVER": smtps://host[:port] or smtp://host[:port]
    QString smtpUser;      // "SMTPUSER": empty: USERNAME
    QString smtpPassword;  // "SMTPPASSWORD": empty: PASSWORD
    QString hangUpSubject; // "HANGUP_SUBJECT": empty: no hang-up by mail
    QString hangUpAfter;   // "HANGUP_AFTER": minutes; empty or 0: never

    bool replyOn() const { return isOn(replyCheck); }
    // The time after which a connection a trigger made is hung up; nullopt for never. Whole
    // minutes as a rule; a fraction is taken as written (0.5 is thirty seconds).
    std::optional<qint64> hangUpAfterMs() const;

    void load(const SettingsStore &store);
    // Writes every key; returns the names of those the store could not write.
    QStringList save(SettingsStore &store) const;

    // The rule of every check key of ours: on unless empty or "0".
    static bool isOn(const QString &value)
    {
        const QString v = value.trimmed();
        return !v.isEmpty() && v != QLatin1StringView("0");
    }
};

} // namespace ringlark
