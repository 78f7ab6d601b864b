#pragma once

#include "imap_reader.h"
#include "mail_connection.h"

#include <QMap>

namespace ringlark {

// One IMAP check of the mailbox (RFC 3501), read-only: EXAMINE INBOX and BODY.PEEK, so no
// flag is ever set. The walk fetches headers newest first, a range of messages per FETCH,
// and ends by identity at the mail named by the last walk's "<UIDVALIDITY>/<UID>"; a changed
// UIDVALIDITY walks as a first check. Each header goes through the same recognition as POP3.
//
// Push (RFC 2177): when the server lists IDLE after sign-in and push is allowed, the
// connection stays open after the walk and idles. A mailbox that grows asks for a check
// (checkWanted); the check then ends the IDLE with DONE and walks the new mails on the same
// connection. The IDLE is renewed every kRenewMs; a renewal the server does not answer
// within the watchdog, or a dropped connection, is a loss: one pushLost, then checks are
// asked for after 1 s, 2 s, 4 s ... up to the retry cap, until one idles again.
//
// The same bounds as POP3: the watchdog while an answer is due, the overall deadline of a
// walk, and the reader's caps.
class ImapSession : public MailConnection
{
    Q_OBJECT
public:
    // Some providers drop an IDLE after 10 minutes.
    static constexpr int kRenewMs = 9 * 60 * 1000;
    static constexpr int kFirstRetryMs = 1000;
    static constexpr int kMaxRetryMs = 5 * 60 * 1000;
    // Messages per FETCH; up to eight such requests are kept in flight.
    static constexpr qint64 kBatch = 100;

    ImapSession(SessionValues &values, SessionSettingsSource settings,
                std::unique_ptr<TcpSocket> socket, MessageBox &messageBox, TimerFactory timers,
                QObject *parent = nullptr);
    ~ImapSession() override;

    // Starts a check. With an IDLE connection up it walks the new mails on it; when there
    // are none and nothing is left to store, it ends at once without a word to the server.
    void Command1_Click() override;

    // Whether a session may stay connected and idle (monitoring is on). Off ends an IDLE at
    // once (DONE, LOGOUT) and stops reconnecting.
    void setPushAllowed(bool allowed);
    // The longest wait between two reconnects: the check interval, at most kMaxRetryMs.
    void setRetryCap(int ms);
    bool idling() const { return m_phase == Phase::Idle; }
    int retryDelay() const { return m_retryMs; }
    Timer &renewTimer() { return *m_renew; }
    Timer &retryTimer() { return *m_retry; }
    const ImapReader &reader() const { return m_reader; }

signals:
    // New mail while idling, or the time to reconnect: the core runs a check.
    void checkWanted();
    // The IDLE connection dropped or went silent.
    void pushLost();

private:
    enum class Phase
    {
        Closed,
        Greeting,
        Capability,
        Login,
        Examine,
        Fetch,
        Idle, // IDLE sent; idling once the server has said "+"
        Done, // DONE sent, the IDLE's tagged answer due
        Logout
    };
    enum class AfterIdle
    {
        Nothing,
        Walk,
        Renew,
        Logout
    };
    struct Batch
    {
        QByteArray tag;
        qint64 from = 0;
        qint64 to = 0;
    };
    struct Fetched
    {
        quint64 uid = 0;
        QByteArray header;
    };

    void onReadyRead();
    void onSocketError(int code, const QString &description);
    void onRemoteClosed();
    void onWatchdog();
    void onRenew();

    void processResponses();
    void handle(const ImapReader::Response &response);
    void handleUntagged(const ImapReader::Response &response);
    void handleTagged(const ImapReader::Response &response);
    void login();
    void startWalk();
    void sendBatches();
    void examineBatch(const Batch &batch);
    bool examine(qint64 seq, const Fetched &mail);
    void endWalk(bool announceNewest);
    void afterWalk();
    void idle();
    void done(AfterIdle then);
    void logout();

    QByteArray command(const QByteArray &text);
    void send(const QByteArray &bytes, const QByteArray &shown = {});
    void lost();
    void scheduleRetry();
    void afterFailure() override;
    void closeConnection() override;

    std::unique_ptr<Timer> m_renew;
    std::unique_ptr<Timer> m_retry;

    ImapReader m_reader;

    Phase m_phase = Phase::Closed;
    AfterIdle m_afterIdle = AfterIdle::Nothing;
    bool m_tls = false;
    QByteArray m_tag;     // the command whose tagged answer is due (not a FETCH)
    QByteArray m_idleTag; // the IDLE in progress
    bool m_idleAcked = false;
    int m_tagNumber = 0;
    QList<QByteArray> m_capabilities;
    bool m_afterLogin = false; // the capabilities asked for are those after sign-in
    QList<QByteArray> m_parts; // the rest of a command, each piece sent on the server's "+"

    quint64 m_uidValidity = 0;
    std::optional<quint64> m_uidNext;
    qint64 m_exists = 0;
    qint64 m_walked = 0;   // the message count the last walk covered
    quint64 m_baseUid = 0; // the walk ends at this UID (0: walks down to message 1)
    qint64 m_nextTop = 0;  // the highest message not yet requested
    // Size of the walk's first request; -1: not known. When known, it covers every mail
    // that can be new, and the walk ends after it.
    qint64 m_firstBatch = -1;
    bool m_walkCovered = false;
    int m_batchesDone = 0;
    QList<Batch> m_batches; // in flight, oldest first
    QMap<qint64, Fetched> m_fetched;
    qint64 m_fetchedBytes = 0;
    bool m_walking = false;
    bool m_examinedAny = false;

    bool m_pushAllowed = true;
    bool m_pushUp = false; // an IDLE was answered on this connection
    bool m_lostReported = false;
    int m_retryMs = kFirstRetryMs;
    int m_retryCapMs = kMaxRetryMs;
};

} // namespace ringlark
