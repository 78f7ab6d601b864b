#pragma once

#include "session_values.h"
#include "settings_table.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace ringlark {

struct Examination
{
    QString resultLines;           // to append to Text6 (two lines, CR LF ended)
    std::optional<QString> label7; // new Label7 text when the walk ended
    bool closeNow = false;         // a matching mail that is not new: the session closes the
                                   // connection at once, enables Command1, stops its watchdog
};

// lines: the TOP reply's lines after the status line, dot-unstuffed, without the final "."
// line, each without its line end (CR LF or bare LF). Updates session (MailNo, SessionStep,
// TriggerFlag, TriggerMailDate, TriggerFoundDate, MailFrom, MailSubject, newest values).
Examination examineReply(const QList<QByteArray> &lines, SessionValues &session,
                         const SettingsTable &settings);

// A mail date as the result view and Label7 show it: "yyyy/MM/dd HH:mm:ss", or
// undatedText() for a mail without a readable Date.
QString mailDateText(const MailDate &date);
QString undatedText();

// The header searches: letter case is ignored, and an empty search text is found in every
// text that is not empty (but not in an empty one).
bool occursIn(const QString &needle, const QString &haystack);

} // namespace ringlark
