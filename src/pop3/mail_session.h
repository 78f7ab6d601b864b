#pragma once

#include "failure_notices.h"
#include "pop3_account.h"
#include "session_values.h"

#include <QObject>
#include <QString>

namespace ringlark {

// One check of the mailbox, whatever the protocol: what the check cycle, the diagnostic
// window and its report need of a session. Every ending sets SessionStep to Quit.
class MailSession : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // Starts a session (Command1 of the diagnostic window).
    virtual void Command1_Click() = 0;
    // Between a start and the session's ending (Command1 is disabled meanwhile).
    virtual bool isRunning() const = 0;
    virtual const SessionValues &values() const = 0;
    // The settings as they are now; a running session goes on with those it started with.
    virtual SessionSettings currentSettings() const = 0;
    // The settings of the session running or last run.
    virtual const SessionSettings &sessionSettings() const = 0;

signals:
    // After every change of SessionStep made by the session, the watchdog or the error path.
    void sessionStepChanged();
    void runningChanged(bool running);
    // A session starts: what an earlier one left to show is gone.
    void started();
    // Traffic as it arrived, decoded: a chunk, or the part of it up to the end of a reply
    // that is acted on before the rest is shown.
    void dataArrived(const QString &text);
    // A header was examined: its result lines, and the newest mail's date when the walk ended.
    void mailExamined(const QString &resultLines);
    void walkEnded(const QString &newestMailText);
    // The session ended on an error; report is the error's text.
    void failed(const QString &report);
    // The watchdog gave up on a server that does not answer.
    void serverSilent();
    // A mail that looked like the trigger failed a check: the log line to write. Once per
    // mail while it stays in the mailbox (WalkMemory).
    void triggerIgnored(const QString &logLine);
    // SessionStep became Quit: how the session went, by its first failure (None when it did
    // its work). detail: the server's reply or the socket's error text.
    void ended(SessionFailure failure, const QString &detail);
    // A mail that would have been the trigger was dated too far ahead to believe.
    void mailPassedOver(const QString &description);
    // A mail too large to read was passed over: the log line, once per mail.
    void mailSkipped(const QString &logLine);
};

} // namespace ringlark
