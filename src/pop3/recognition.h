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
    bool closeNow = false;         // a matching mail that is not new: close the connection at once,
                                   // enable Command1, stop the watchdog
};

// lines: the TOP reply's lines after the status line, dot-unstuffed, without the final "."
// line, each without its line end (CR LF or bare LF). Updates session (MailNo, SessionStep,
// TriggerFlag, TriggerMailDate, TriggerFoundDate, MailFrom, MailSubject, newest values).
Examination examineReply(const QList<QByteArray> &lines, SessionValues &session,
                         const SettingsTable &settings);

} // namespace ringlark
