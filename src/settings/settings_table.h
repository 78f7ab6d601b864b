#pragma once

#include "reply_settings.h"
#include "trigger_checks.h"

#include <QDateTime>
#include <QString>
#include <QVariant>

#include <array>
#include <optional>

namespace ringlark {

class SettingsStore;

// The eleven settings, held for the whole run. Each entry is a variant holding text (as
// loaded), a small integer (a check box state after the dialog's OK) or a date-time
// (LastDate after a trigger was acted on).
struct SettingsTable
{
    QVariant Pop3Server;
    QVariant UserName;
    QVariant Password;
    QVariant FromAddress;
    QVariant FromCheck;
    QVariant Subject;
    QVariant SubjectCheck;
    QVariant DialUpEntry;
    QVariant TimeInterval;
    QVariant LastDate;
    QVariant AutoStart;

    // The checks that make a trigger hard to forge; stored under keys of their own, which
    // older settings files lack (and then the checks are off). Loaded with the others; the
    // window of the checks writes them.
    TriggerChecks triggerChecks;
    // The reply to the sender and the hang-ups without anyone at the machine, the same way.
    ReplySettings reply;
    // "LASTUID": "<UIDVALIDITY>/<UID>" of the newest mail an IMAP walk examined, where the
    // next walk ends. Empty until one has; the program writes it, beside LastDate.
    QString lastUid;

    enum class Key {
        Pop3Server, UserName, Password, FromAddress, FromCheck, Subject, SubjectCheck,
        DialUpEntry, TimeInterval, LastDate, AutoStart
    };

    struct KeyInfo
    {
        Key key;
        const char *storeName; // "POP3SERVER", ...
        const char *defaultText;
        QVariant SettingsTable::*entry;
    };
    // In the order the store is read and written.
    static const std::array<KeyInfo, 11> &keys();
    static const KeyInfo &info(Key key);

    QVariant &operator[](Key key) { return this->*info(key).entry; }
    const QVariant &operator[](Key key) const { return this->*info(key).entry; }

    // Reads every key, in order, each with its default; then the keys of the trigger checks.
    void load(const SettingsStore &store);
    // Writes one key in its text form. Returns false when the store could not write it.
    bool write(SettingsStore &store, Key key) const;
    bool saveLastUid(SettingsStore &store, const QString &identity);

    // LastDate as a date-time; nullopt when its text cannot be read, which counts as
    // earlier than every mail.
    std::optional<QDateTime> lastDate() const;

    // "LASTUIDL": the POP3 unique id of the newest mail a walk examined, where the next walk
    // ends. Empty until one has, and on servers without UIDL; the program writes it.
    QString lastUidl;
    bool saveLastUidl(SettingsStore &store, const QString &id);
};

// An entry's text form: text unchanged, integers in decimal, date-times in the stored form.
QString settingText(const QVariant &value);

} // namespace ringlark
