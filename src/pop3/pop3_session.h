#pragma once

#include "pop3_errors.h"
#include "reply_reader.h"
#include "traffic_log.h"

#include <QObject>
#include <QString>
#include <QStringDecoder>
#include <QTimer>

#include <memory>

namespace ringlark {

class MessageBox;
class TcpSocket;
struct SessionValues;
struct SettingsTable;

// A number as the session writes it for display: one leading blank when zero or positive,
// a leading "-" when negative (5 gives " 5", -1 gives "-1").
QString pop3NumberText(qint64 number);

// One POP3 check of the mailbox, and what the POP3 window shows of it. The window is a view
// of this object: Text4 (traffic), Text6 (results), the progress labels Label9 to Label11,
// Label7 and Command1's enabled state live here, so that a test needs no widget.
//
// The session is driven by the socket's data arrivals. Replies are reassembled line by line
// across chunks; the walk goes from the highest message down to message 1, sending the next
// TOP before the current header is examined. Every ending sets SessionStep to "Quit": a
// negative reply or the end of the walk (the next reply then closes the connection), the
// error path, the watchdog when the server falls silent, or the overall deadline.
//
// Every arrival restarts the watchdog, so a server that keeps sending a byte now and then
// is never silent to it: an endless reply dripped slowly would hold the session, and the
// check cycle waiting for it, for days before a size cap ends it. The deadline bounds a
// whole session instead; it ends through the error path.
class Pop3Session : public QObject
{
    Q_OBJECT
public:
    static constexpr int kWatchdogMs = 20000;
    // Far beyond any sound session: a walk over thousands of headers takes seconds.
    static constexpr int kSessionDeadlineMs = 5 * 60 * 1000;
    // Text6 keeps at most about this many characters (some ten thousand listed mails);
    // past that the oldest lines go, as in Text4.
    static constexpr qsizetype kMaxText6Chars = 1024 * 1024;
    static constexpr int kTopSeparatorLength = 37;
    // When the watchdog finds bytes waiting that the socket has not taken in yet.
    static constexpr int kGraceTurns = 10;
    static constexpr int kGraceMs = 100;

    Pop3Session(SessionValues &values, const SettingsTable &settings, TcpSocket &socket,
                MessageBox &messageBox, int watchdogMs = kWatchdogMs, QObject *parent = nullptr);
    Pop3Session(SessionValues &values, const SettingsTable &settings,
                std::unique_ptr<TcpSocket> socket, MessageBox &messageBox,
                int watchdogMs = kWatchdogMs, QObject *parent = nullptr);
    ~Pop3Session() override;

    // Starts a session. A connection left open by an earlier session is closed first.
    void Command1_Click();
    // The watchdog's expiry. Bytes already waiting on the socket are read first: after a
    // dial that blocked the thread for seconds, the server's answer may be there, unread.
    void Timer1_Timer();
    void Winsock1_DataArrival();
    // Shows "ERR(" code ";" description ")" in a box, one at a time; nothing else. The
    // watchdog ends the session.
    void Winsock1_Error(int code, const QString &description);

    TrafficLog &text4() { return m_text4; }
    const TrafficLog &text4() const { return m_text4; }
    const QString &text6() const { return m_text6; }
    const QString &label7() const { return m_label7; }
    void setLabel7(const QString &text);
    const QString &label9() const { return m_label9; }
    const QString &label10() const { return m_label10; }
    const QString &label11() const { return m_label11; }
    bool command1Enabled() const { return m_command1Enabled; }
    bool watchdogActive() const { return m_watchdog.isActive(); }
    int watchdogInterval() const { return m_watchdogMs; }
    // Applies from the next session start; tests shorten it.
    void setSessionDeadline(int ms) { m_deadlineMs = ms; }
    int sessionDeadline() const { return m_deadlineMs; }
    const ReplyReader &replyReader() const { return m_reader; }
    TcpSocket &socket() { return *m_socket; }

signals:
    // After every change of SessionStep made by the session, the watchdog or the error path.
    void sessionStepChanged();
    // A text for the main window's status line (the watchdog's).
    void statusText(const QString &text);
    void command1EnabledChanged(bool enabled);
    void text6Appended(const QString &text);
    void text6Replaced(const QString &text);
    void label7Changed(const QString &text);
    // Label9, Label10 and Label11 were rewritten.
    void progressChanged();

private:
    void init();
    void processReplies();
    void handleReply(const ReplyReader::Reply &reply);
    void handleStat(const QByteArray &status);
    void handleTop(const QList<QByteArray> &lines);
    void onRemoteClosed();
    void onDeadline();
    QString logLine(const QByteArray &line) const;

    bool sendCredential(const char *command, const QString &value);
    void send(const QByteArray &line);
    void sendTop(qint64 number);
    void sendQuit();
    void finishClose();
    void fail(Pop3Error error);
    void closeConnection();

    void setStep(const QString &step);
    void setCommand1Enabled(bool enabled);
    void appendText6(const QString &text);
    void replaceText6(const QString &text);
    void updateProgressLabels();

    SessionValues &m_values;
    const SettingsTable &m_settings;
    std::unique_ptr<TcpSocket> m_ownedSocket;
    TcpSocket *m_socket;
    MessageBox &m_messageBox;
    int m_watchdogMs;

    QTimer m_watchdog;
    int m_deadlineMs = kSessionDeadlineMs;
    QTimer m_deadline;
    ReplyReader m_reader;
    QStringDecoder m_trafficDecoder{QStringDecoder::Utf8};
    quint64 m_generation = 0; // a new session start invalidates work in hand
    bool m_boxOpen = false;
    int m_graceTurns = 0;

    TrafficLog m_text4;
    QString m_text6;
    QString m_label7 = QStringLiteral("Label7");
    QString m_label9 = QStringLiteral("MailNo:");
    QString m_label10 = QStringLiteral("MailStep:");
    QString m_label11 = QStringLiteral("最後の起動日時:");
    bool m_command1Enabled = true;
};

} // namespace ringlark
