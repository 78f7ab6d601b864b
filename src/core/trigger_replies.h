#pragma once

#include "dial_commands.h"
#include "session_values.h"

#include <QObject>

#include <optional>

namespace ringlark {

class Clock;
class EventLog;
class MailSender;
struct SettingsTable;

// The reply to the sender of a trigger mail: what became of the request (dialled, failed
// and why, given up, hung up), the addresses the connection got and the machine's name.
// Sent when REPLY_CHECK is on, never to a mail sent by a machine. A reply that could not be
// sent is tried once more after the next check, then dropped; sending never holds up a
// check or a dial.
class TriggerReplies : public QObject
{
    Q_OBJECT
public:
    TriggerReplies(const SettingsTable &settings, EventLog &log, const Clock &clock,
                   MailSender &sender, QObject *parent = nullptr);

    // The request of `mail` has come to `outcome`.
    void answer(const TriggerMail &mail, const DialCommands::Outcome &outcome);
    // A check has ended: the time for the one retry of a failed reply.
    void checkFinished();

    // The text of the reply, for the given outcome (no addresses resolved, no sending).
    QString bodyText(const DialCommands::Outcome &outcome) const;

private:
    struct Pending
    {
        quint64 id = 0;
        QString to;
        QString from;
        QByteArray message;
        bool retried = false;
    };
    void send(Pending pending);
    void onFinished(quint64 id, bool ok, const QString &detail);
    QString replyFrom() const;

    const SettingsTable &m_settings;
    EventLog &m_log;
    const Clock &m_clock;
    MailSender &m_sender;
    quint64 m_nextId = 1;
    QList<Pending> m_inFlight;
    // The one reply waiting for its retry.
    std::optional<Pending> m_retry;
};

} // namespace ringlark
