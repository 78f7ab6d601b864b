#pragma once

#include "session_values.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

namespace ringlark {

// What makes a mail the trigger. Each check is one field group here and one test in
// matchesRules(), so that a new check adds both without touching the walk.
struct RecognitionRules
{
    bool fromCheck = false;
    QString fromText; // found in From:, letter case ignored
    bool subjectCheck = false;
    QString subjectText; // found in Subject:
    // LastDate as stored, shown as is, and as read: nullopt when it cannot be read, which
    // counts as earlier than every mail. Only a mail newer than it is the trigger.
    QString lastDateText;
    std::optional<QDateTime> lastDate;
};

// What the session does after a header was examined. Every verdict but GoOn ends the walk.
enum class Verdict
{
    GoOn,         // on to the next lower message
    StopHere,     // the walk is over; the reply already requested closes the connection
    TriggerFound, // a matching mail newer than LastDate: the check cycle dials
    CloseNow      // a matching mail that is not new: close the connection at once
};

struct Examination
{
    Verdict verdict = Verdict::GoOn;
    QString resultLines;                   // to append to the results (two lines, CR LF ended)
    std::optional<QString> newestMailText; // the newest mail's date, when the walk ended
};

// lines: the TOP reply's lines after the status line, dot-unstuffed, without the final "."
// line, each without its line end (CR LF or bare LF). Updates the walk's values (MailNo,
// TriggerMailDate, MailFrom, MailSubject, the newest values); the session acts on the verdict.
Examination examineReply(const QList<QByteArray> &lines, SessionValues &session,
                         const RecognitionRules &rules);

// Whether the examined mail (MailFrom, MailSubject) passes every check that is on.
bool matchesRules(const SessionValues &session, const RecognitionRules &rules);

// A mail date as the result view and Label7 show it: "yyyy/MM/dd HH:mm:ss", or
// undatedText() for a mail without a readable Date.
QString mailDateText(const MailDate &date);
QString undatedText();

// A number as the session writes it for display: one leading blank when zero or positive,
// a leading "-" when negative (5 gives " 5", -1 gives "-1").
QString pop3NumberText(qint64 number);

// The header searches: letter case is ignored, and an empty search text is found in every
// text that is not empty (but not in an empty one).
bool occursIn(const QString &needle, const QString &haystack);

} // namespace ringlark
