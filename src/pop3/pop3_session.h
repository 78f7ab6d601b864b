#pragma once

#include "mail_connection.h"
#include "reply_reader.h"
#include "top_requests.h"

#include <QHash>
#include <QSet>

namespace ringlark {

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
class Pop3Session : public MailConnection
{
    Q_OBJECT
public:
    // When the watchdog finds bytes waiting that the socket has not taken in yet.
    static constexpr int kGraceTurns = 10;
    static constexpr int kGraceMs = 100;

    // The watchdog and the deadline come from timers (empty: real ones).
    Pop3Session(SessionValues &values, SessionSettingsSource settings, TcpSocket &socket,
                MessageBox &messageBox, const TimerFactory &timers = {}, QObject *parent = nullptr);
    Pop3Session(SessionValues &values, SessionSettingsSource settings,
                std::unique_ptr<TcpSocket> socket, MessageBox &messageBox,
                const TimerFactory &timers = {}, QObject *parent = nullptr);

    // Starts a session. A connection left open by an earlier session is closed first.
    void Command1_Click() override;
    // The watchdog's expiry. Bytes already waiting on the socket are read first: after a
    // dial that blocked the thread for seconds, the server's answer may be there, unread.
    void Timer1_Timer();
    void Winsock1_DataArrival();
    // Shows "ERR(" code ";" description ")" in a box, one at a time, and ends the session
    // as the watchdog does.
    void Winsock1_Error(int code, const QString &description);

    bool watchdogActive() const { return m_watchdog->isActive(); }
    // Bytes of TOP requests kept in flight when the server pipelines; from the next session.
    void setPipelineWindow(qsizetype bytes) { m_windowBytes = bytes; }
    const ReplyReader &replyReader() const { return m_reader; }

private:
    void init();
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
    void onRemoteClosed();

    bool sendCredential(const char *command, const QString &value);
    void send(const QByteArray &line);
    void sendTops();
    void sendQuit();
    void closeConnection() override;

    ReplyReader m_reader;
    int m_graceTurns = 0;
    QSet<QString> m_skipped; // outsized mails already told of
    QHash<qint64, QString> m_uids; // UIDL: message number -> unique id; empty without
    qint64 m_statCount = 0;
    bool m_uidl = false; // the server listed UIDL
    bool m_awaitingUidl = false;

    qsizetype m_windowBytes = TopRequests::kPipelineWindowBytes;
    bool m_awaitingCapa = false; // CAPA sent after the greeting, its reply not yet in
    bool m_pipelining = false;   // the server listed PIPELINING
    bool m_quitSent = false;
    TopRequests m_requests;
    qint64 m_repliesToDrop = 0; // replies to requests still in flight when the walk ended
};

} // namespace ringlark
