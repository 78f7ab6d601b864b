#include "settings_form.h"

#include "leading_number.h"
#include "settings_table.h"

namespace ringlark {

namespace {

bool isOn(const QVariant &flag)
{
    // Stored flags are "0" or "1"; any other number shows as on, as the trigger tests
    // (which compare with 0) would treat it.
    return flagValue(settingText(flag)) != 0;
}

// A flag for the table: 0 or 1, never a check box's own value for "checked" (2): "AUTOSTART"
// of "2" would never start monitoring.
QVariant flag(bool on)
{
    return QVariant(on ? 1 : 0);
}

} // namespace

SettingsForm settingsForm(const SettingsTable &settings)
{
    SettingsForm form;
    form.pop3Server = settingText(settings.Pop3Server);
    form.userName = settingText(settings.UserName);
    form.password = settingText(settings.Password);
    form.fromAddress = settingText(settings.FromAddress);
    form.fromCheck = isOn(settings.FromCheck);
    form.subject = settingText(settings.Subject);
    form.subjectCheck = isOn(settings.SubjectCheck);
    form.timeInterval = settingText(settings.TimeInterval);
    form.autoStart = isOn(settings.AutoStart);
    form.dialUpEntry = settingText(settings.DialUpEntry);
    return form;
}

QStringList applySettingsForm(const SettingsForm &form, const QStringList &entryNames,
                              SettingsTable &settings, SettingsStore &store)
{
    settings.Pop3Server = form.pop3Server;
    settings.UserName = form.userName;
    settings.Password = form.password;
    settings.FromAddress = form.fromAddress;
    settings.FromCheck = flag(form.fromCheck);
    settings.Subject = form.subject;
    settings.SubjectCheck = flag(form.subjectCheck);
    // A stored name the list lacks is kept while the user leaves the field alone: the
    // profile may only be missing for now (NetworkManager not up yet at login), and the dial
    // looks the name up again when it runs.
    const QString stored = settingText(settings.DialUpEntry);
    const bool keepStored = !form.entryChosen && form.dialUpEntry.isEmpty() && !stored.isEmpty() &&
                            !entryNames.contains(stored);
    settings.DialUpEntry = keepStored ? stored : form.dialUpEntry;
    settings.TimeInterval = form.timeInterval;
    settings.AutoStart = flag(form.autoStart);

    // LASTDATE belongs to the check cycle; the window never writes it.
    QStringList failed;
    for (const SettingsTable::KeyInfo &k : SettingsTable::keys()) {
        if (k.key == SettingsTable::Key::LastDate)
            continue;
        if (!settings.write(store, k.key))
            failed.append(QString::fromLatin1(k.storeName));
    }
    return failed;
}

} // namespace ringlark
