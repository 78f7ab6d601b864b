#include "settings_table.h"

#include "date_text.h"
#include "settings_store.h"

namespace ringlark {

const std::array<SettingsTable::KeyInfo, 11> &SettingsTable::keys()
{
    static const std::array<KeyInfo, 11> table{{
        {Key::Pop3Server, "POP3SERVER", "", &SettingsTable::Pop3Server},
        {Key::UserName, "USERNAME", "", &SettingsTable::UserName},
        {Key::Password, "PASSWORD", "", &SettingsTable::Password},
        {Key::FromAddress, "FROM", "", &SettingsTable::FromAddress},
        {Key::FromCheck, "FROM_CHECK", "", &SettingsTable::FromCheck},
        {Key::Subject, "SUBJECT", "", &SettingsTable::Subject},
        {Key::SubjectCheck, "SUBJECT_CHECK", "", &SettingsTable::SubjectCheck},
        {Key::DialUpEntry, "DIALUPNETWORK", "", &SettingsTable::DialUpEntry},
        {Key::TimeInterval, "TIMEINTERVAL", "60", &SettingsTable::TimeInterval},
        {Key::LastDate, "LASTDATE", "2003/04/01 00:00:00", &SettingsTable::LastDate},
        {Key::AutoStart, "AUTOSTART", "0", &SettingsTable::AutoStart},
    }};
    return table;
}

const SettingsTable::KeyInfo &SettingsTable::info(Key key)
{
    return keys()[static_cast<size_t>(key)];
}

void SettingsTable::load(const SettingsStore &store)
{
    for (const KeyInfo &k : keys())
        this->*k.entry = store.read(QString::fromLatin1(k.storeName),
                                    QString::fromLatin1(k.defaultText));
    triggerChecks.load(store);
    reply.load(store);
    lastUid = store.read(QStringLiteral("LASTUID"), QString());
    lastUidl = store.read(QStringLiteral("LASTUIDL"), QString());
}

bool SettingsTable::saveLastUid(SettingsStore &store, const QString &identity)
{
    lastUid = identity;
    return store.write(QStringLiteral("LASTUID"), identity);
}

bool SettingsTable::saveLastUidl(SettingsStore &store, const QString &id)
{
    lastUidl = id;
    return store.write(QStringLiteral("LASTUIDL"), id);
}

bool SettingsTable::write(SettingsStore &store, Key key) const
{
    const KeyInfo &k = info(key);
    return store.write(QString::fromLatin1(k.storeName), settingText(this->*k.entry));
}

std::optional<QDateTime> SettingsTable::lastDate() const
{
    if (LastDate.typeId() == QMetaType::QDateTime)
        return LastDate.toDateTime();
    return readDateText(LastDate.toString());
}

QString settingText(const QVariant &value)
{
    if (value.typeId() == QMetaType::QDateTime)
        return dateText(value.toDateTime());
    return value.toString();
}

} // namespace ringlark
