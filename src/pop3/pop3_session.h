#pragma once

#include "mail_session.h"
#include "pop3_errors.h"
#include "reply_reader.h"
#include "session_values.h"
#include "timer.h"
#include "top_requests.h"
#include "walk_memory.h"

#include <QObject>
#include <QString>
#include <QStringDecoder>
#include <QHash>
#include <QSet>

#include <array>
#include <memory>

namespace ringlark {

class MessageBox;
class TcpSocket;

// One POP3 check of the mailbox. What the POP3 window shows of it is kept by a
// SessionReport that listens to the signals below.
//
// The session is driven by the socket's data arrivals. Replies are reassembled line by line
// across chunks; the walk goes from the highest message down to message 1, sending the next
// TOP before the current header is examined. Every ending sets SessionStep to Quit: a
// negative reply or the end of the walk (the next reply then closes the connection), the
// error path, the watchdog when the server falls silent, or the overall deadline.
//
// CAPA goes first, after the greeting. A server that lists PIPELINING is sent many TOP
// requests ahead (TopRequests), so that a walk costs a round trip per few hundred messages
// rather than one per message; the replies are still examined one by one, in order. When
// such a walk ends with requests in flight, their replies are read and dropped unexamined,
// and then QUIT goes out. Any other server gets one command at a time, as it always has.
//
// Every arrival restarts the watchdog, so a server that keeps sending a byte now and then
// is never silent to it: an endless reply dripped slowly would hold the session, and the
// check cycle waiting for it, for days before a size cap ends it. The deadline bounds a
// whole session instead; it ends through the error path.
class Pop3Session : public MailSession
{
    Q_OBJECT
public:
    static constexpr int kWatchdogMs = 20000;
    // Far beyond any sound session: a walk over thousands of headers takes seconds.
    static constexpr int kSessionDeadlineMs = 5 * 60 * 1000;
    // When the watchdog finds bytes waiting that the socket has not taken in yet.
    static constexpr int kGraceTurns = 10;
    static constexpr int kGraceMs = 100;

    // The watchdog and the deadline come from timers (empty: real ones).
    Pop3Session(SessionValues &values, SessionSettingsSource settings, TcpSocket &socket,
                MessageBox &messageBox, const TimerFactory &timers = {}, QObject *parent = nullptr);
    Pop3Session(SessionValues &values, SessionSettingsSource settings,
                std::unique_ptr<TcpSocket> socket, MessageBox &messageBox,
                const TimerFactory &timers = {}, QObject *parent = nullptr);
    ~Pop3Session() override;

    // Starts a session. A connection left open by an earlier session is closed first.
    void Command1_Click() override;
    // The watchdog's expiry. Bytes already waiting on the socket are read first: after a
    // dial that blocked the thread for seconds, the server's answer may be there, unread.
    void Timer1_Timer();
    void Winsock1_DataArrival();
    // Shows "ERR(" code ";" description ")" in a box, one at a time, and ends the session
    // as the watchdog does.
    void Winsock1_Error(int code, const QString &description);

    bool isRunning() const override { return m_running; }
    const SessionValues &values() const override { return m_values; }
    SessionSettings currentSettings() const override { return m_settingsSource(); }
    const SessionSettings &sessionSettings() const override { return m_settings; }
    bool watchdogActive() const { return m_watchdog->isActive(); }
    Timer &watchdog() { return *m_watchdog; }
    Timer &deadlineTimer() { return *m_deadline; }
    // Bytes of TOP requests kept in flight when the server pipelines; from the next session.
    void setPipelineWindow(qsizetype bytes) { m_windowBytes = bytes; }
    const ReplyReader &replyReader() const { return m_reader; }
    // The unique id of the newest mail the last complete walk examined, for LASTUIDL; empty
    // when the server gives no UIDL or no walk has ended yet.
    const QString &walkIdentity() const { return m_walkIdentity; }
    TcpSocket &socket() { return *m_socket; }

private:
    void init(const TimerFactory &timers);
    void processReplies();
    void handleReply(const ReplyReader::Reply &reply);
    void handleCapa(const ReplyReader::Reply &reply);
    void handleStat(const QByteArray &status);
    void handleUidl(const ReplyReader::Reply &reply);
    void startWalk();
    void handleTop(const ReplyReader::Reply &reply, bool dropped);
    void reportSkipped(const ReplyReader::Reply &reply, const QString &id);
    void dropAfterWalk();
    void quitAfterRequestsInFlight();
    bool readingReplies() const;
    void showTraffic(qint64 upTo);
    void onRemoteClosed();
    // The watchdog's ending: the connection closed, the server called silent, Quit.
    void endUnanswered();
    void onDeadline();
    QString logLine(const QByteArray &line) const;

    bool sendCredential(const char *command, const QString &value);
    void send(const QByteArray &line);
    void sendTops();
    void sendQuit();
    void finishClose();
    void fail(Pop3Error error);
    void closeConnection();

    void setStep(SessionStep step);
    void setRunning(bool running);
    // The first cause of failure in a session is the one that ends it, whatever comes later
    // (a socket error is followed by the watchdog).
    void noteFailure(SessionFailure failure, const QString &detail = {});

    SessionValues &m_values;
    SessionSettingsSource m_settingsSource;
    SessionSettings m_settings;
    std::unique_ptr<TcpSocket> m_ownedSocket;
    TcpSocket *m_socket;
    MessageBox &m_messageBox;

    std::unique_ptr<Timer> m_watchdog;
    std::unique_ptr<Timer> m_deadline;
    ReplyReader m_reader;
    QStringDecoder m_trafficDecoder{QStringDecoder::Utf8};
    quint64 m_generation = 0; // a new session start invalidates work in hand
    bool m_boxOpen = false;
    int m_graceTurns = 0;
    bool m_running = false;
    // The mails that failed a check, logged once each; and the newest examined.
    WalkMemory m_memory;
    QString m_walkIdentity;
    QSet<QString> m_skipped; // outsized mails already told of
    QHash<qint64, QString> m_uids; // UIDL: message number -> unique id; empty without
    qint64 m_statCount = 0;
    bool m_uidl = false; // the server listed UIDL
    bool m_awaitingUidl = false;
    SessionFailure m_failure = SessionFailure::None;
    QString m_failureDetail;

    qsizetype m_windowBytes = TopRequests::kPipelineWindowBytes;
    bool m_awaitingCapa = false; // CAPA sent after the greeting, its reply not yet in
    bool m_pipelining = false;   // the server listed PIPELINING
    bool m_quitSent = false;
    TopRequests m_requests;
    qint64 m_repliesToDrop = 0; // replies to requests still in flight when the walk ended
    // Received bytes not yet passed to dataArrived, and where they start in the reader's
    // stream: a chunk is shown up to the end of each reply before that reply is acted on.
    QByteArray m_unshown;
    qint64 m_unshownFrom = 0;
};

} // namespace ringlark
