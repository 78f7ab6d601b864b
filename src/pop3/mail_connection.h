#pragma once

#include "mail_session.h"
#include "pop3_errors.h"
#include "timer.h"
#include "walk_memory.h"

#include <QStringDecoder>

#include <memory>
#include <optional>

class QLoggingCategory;

namespace ringlark {

class MessageBox;
class TcpSocket;
struct Examination;
struct ServerAddress;

// What every mail session does around its protocol: the connection, the watchdog while an
// answer is due and the deadline of a whole session, the traffic shown as it arrives, the
// socket error's box, the ending of a session, and what is told of each mail examined. The
// POP3 and IMAP sessions build on it and connect the socket's events to their own handlers.
class MailConnection : public MailSession
{
    Q_OBJECT
public:
    static constexpr int kWatchdogMs = 20000;
    // Far beyond any sound session: a walk over thousands of headers takes seconds.
    static constexpr int kSessionDeadlineMs = 5 * 60 * 1000;

    using LogCategory = const QLoggingCategory &(*)();

    ~MailConnection() override;

    bool isRunning() const override { return m_running; }
    const SessionValues &values() const override { return m_values; }
    SessionSettings currentSettings() const override { return m_settingsSource(); }
    const SessionSettings &sessionSettings() const override { return m_settings; }
    Timer &watchdog() { return *m_watchdog; }
    Timer &deadlineTimer() { return *m_deadline; }
    TcpSocket &socket() { return *m_socket; }
    // The identity of the newest mail the last walk examined, for the store: POP3's unique id
    // (LASTUIDL), IMAP's "<UIDVALIDITY>/<UID>" (LASTUID); empty when there is none.
    const QString &walkIdentity() const { return m_walkIdentity; }

protected:
    // The watchdog and the deadline come from timers (empty: real ones), in that order.
    MailConnection(SessionValues &values, SessionSettingsSource settings, TcpSocket &socket,
                   MessageBox &messageBox, const TimerFactory &timers, LogCategory log,
                   QObject *parent);
    MailConnection(SessionValues &values, SessionSettingsSource settings,
                   std::unique_ptr<TcpSocket> socket, MessageBox &messageBox,
                   const TimerFactory &timers, LogCategory log, QObject *parent);

    // The settings as they are now (none without a source).
    SessionSettings freshSettings() const;
    // A new session with these settings: the connection left by an earlier one closed,
    // SessionStep Connect, the watchdog and the deadline running. nullopt when the server
    // setting is no address; the caller reports that like a socket error.
    std::optional<ServerAddress> startSession(SessionSettings settings);
    void connectTo(const ServerAddress &address);
    // A failure noted by an earlier session is gone.
    void clearFailure();

    // A chunk that is read as replies: shown up to the end of each reply (showTraffic) before
    // that reply is acted on. from: where the chunk starts in the reader's stream.
    void holdTraffic(const QByteArray &chunk, qint64 from);
    // upTo: a position in the reader's stream; below 0, all that has arrived.
    void showTraffic(qint64 upTo);
    // A chunk that is not read as replies.
    void showChunk(const QByteArray &chunk);
    // What is left of the chunk in hand is not shown.
    void dropUnshownTraffic() { m_unshown.clear(); }

    // Notes a socket error as the session's failure and shows it in a box, one at a time.
    void reportSocketError(int code, const QString &description);
    // A socket error that ends the session: nothing more comes over a connection that
    // failed, so it ends now, the way the watchdog would have ended it, and the next check
    // is not held back by it.
    void endOnSocketError(int code, const QString &description);
    // The watchdog's ending: the connection closed, the server called silent, Quit.
    void endUnanswered();
    void fail(Pop3Error error);
    // The server closed the connection in the middle of a session.
    void failLost();
    // The connection closed, the timers stopped, the session no longer running.
    void finishClose();
    // Forgets what the protocol holds of the connection; overrides call this too.
    virtual void closeConnection();
    // After the session ended on a failure or on silence.
    virtual void afterFailure() {}

    void setStep(SessionStep step);
    void setRunning(bool running);
    // The first cause of failure in a session is the one that ends it, whatever comes later
    // (a socket error is followed by the watchdog).
    void noteFailure(SessionFailure failure, const QString &detail = {});
    // A server may echo what it was sent in an error text; the log never repeats a password.
    QString masked(const QByteArray &line) const;

    // What the recognition decided of one mail, kept in the session values.
    void takeVerdict(const Examination &result);
    // The mail's result lines, and once per mail (by identity) the checks it failed.
    void tellExamined(const Examination &result, const QString &identity);
    // A mail passed over for its date, and the newest mail's date when the walk ended.
    void tellWalkEnd(const Examination &result);

    SessionValues &m_values;
    SessionSettings m_settings;
    TcpSocket *m_socket;
    std::unique_ptr<Timer> m_watchdog;
    std::unique_ptr<Timer> m_deadline;
    quint64 m_generation = 0; // a new session start invalidates work in hand
    WalkMemory m_memory;      // the mails that failed a check, logged once each
    QString m_walkIdentity;

private:
    void onDeadline();

    SessionSettingsSource m_settingsSource;
    std::unique_ptr<TcpSocket> m_ownedSocket;
    MessageBox &m_messageBox;
    LogCategory m_log;
    QStringDecoder m_trafficDecoder{QStringDecoder::Utf8};
    // Received bytes not yet passed to dataArrived, and where they start in the reader's
    // stream.
    QByteArray m_unshown;
    qint64 m_unshownFrom = 0;
    bool m_boxOpen = false;
    bool m_running = false;
    SessionFailure m_failure = SessionFailure::None;
    QString m_failureDetail;
};

} // namespace ringlark
