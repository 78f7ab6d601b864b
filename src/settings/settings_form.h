#pragma once

#include <QString>
#include <QStringList>

namespace ringlark {

class SettingsStore;
struct SettingsTable;

// What the settings window shows, and what its OK hands back: plain values, so that the
// rules of OK hold and are tested without a window.
struct SettingsForm
{
    QString pop3Server;
    QString userName;
    QString password;
    QString fromAddress;
    bool fromCheck = false;
    QString subject;
    bool subjectCheck = false;
    QString timeInterval;
    bool autoStart = false;
    // The entry list's text, and whether the user typed in it or chose from it since the
    // window was last filled.
    QString dialUpEntry;
    bool entryChosen = false;
};

// The table's values as the window shows them.
SettingsForm settingsForm(const SettingsTable &settings);

// The settings window's OK: copies the form into the table and writes the ten keys the window
// owns. entryNames is the dial-up entry list the window offered. Returns the store names of
// the keys the store could not write; the table holds the new values all the same.
QStringList applySettingsForm(const SettingsForm &form, const QStringList &entryNames,
                              SettingsTable &settings, SettingsStore &store);

} // namespace ringlark
