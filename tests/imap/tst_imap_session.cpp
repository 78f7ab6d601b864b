#include "fake_socket.h"
#include "fake_timer.h"
#include "fakes.h"
#include "imap_session.h"
#include "session_settings.h"
#include "settings_table.h"

#include <QSignalSpy>
#include <QTest>

using namespace ringlark;
using namespace ringlark::test;

using Lines = QList<QByteArray>;
Q_DECLARE_METATYPE(SessionFailure)

namespace {

// "* seq FETCH (UID uid BODY[HEADER] {n}" with the header as the literal, as play() sends it.
Lines fetched(int seq, int uid, const QByteArray &subject, const QByteArray &from = "a@b.jp")
{
    const Lines header{"From: " + from, "Subject: " + subject,
                       "Date: Sat, " + QByteArray::number(seq) + " Sep 2004 09:00:00 +0900", ""};
    Lines out{"S: * " + QByteArray::number(seq) + " FETCH (UID " + QByteArray::number(uid) +
              " BODY[HEADER] {" + QByteArray::number(header.join("\r\n").size() + 2) + "}"};
    for (const QByteArray &line : header)
        out.append("S: " + line);
    out.append("S: )");
    return out;
}

const Lines kGreeting{"S: * OK [CAPABILITY IMAP4rev1] Dovecot ready.", "C: A1 CAPABILITY",
                      "S: * CAPABILITY IMAP4rev1 LITERAL+ AUTH=PLAIN", "S: A1 OK done"};

// Signed in (A2), IDLE listed only now (A3), INBOX of 3 mails with UIDs 28 to 30 (A4).
Lines signedIn(const QByteArray &capabilities = "IMAP4rev1 IDLE")
{
    return kGreeting + Lines{"C: A2 LOGIN taro \"s3cret pw\"", "S: A2 OK Logged in",
                             "C: A3 CAPABILITY", "S: * CAPABILITY " + capabilities, "S: A3 OK",
                             "C: A4 EXAMINE INBOX", "S: * 3 EXISTS", "S: * 0 RECENT",
                             "S: * OK [UIDVALIDITY 77] UIDs valid",
                             "S: * OK [UIDNEXT 31] Predicted", "S: A4 OK [READ-ONLY] Examined"};
}

} // namespace

// The IMAP session's dialogues, scripted: sign-in forms, the walk by identity, IDLE and its
// renewal, the loss of the connection and the retries, and the end of an IDLE on stop.
class TestImapSession : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void signIn_data();
    void signIn();
    void walkEndsByIdentity_data();
    void walkEndsByIdentity();
    void pushAndRenew();
    void lossAndRetries();

private:
    FakeTimer &timer(int i) { return *m_timers.at(i); } // watchdog, deadline, renew, retry

    SettingsTable m_settings;
    SessionValues m_values;
    FakeMessageBox m_box;
    FakeSocket *m_socket = nullptr;
    QList<FakeTimer *> m_timers;
    std::unique_ptr<ImapSession> m_session;
};

void TestImapSession::init()
{
    m_settings = SettingsTable();
    m_settings.Pop3Server = QStringLiteral("imap://imap.example.jp");
    m_settings.UserName = QStringLiteral("taro");
    m_settings.Password = QStringLiteral("s3cret pw");
    m_settings.FromAddress = QStringLiteral("owner@example.jp");
    m_settings.FromCheck = QStringLiteral("1");
    m_settings.Subject = QStringLiteral("please dial");
    m_settings.SubjectCheck = QStringLiteral("1");
    m_settings.LastDate = QStringLiteral("2003/04/01 00:00:00");
    m_values = SessionValues();
    m_timers.clear();
    auto socket = std::make_unique<FakeSocket>();
    m_socket = socket.get();
    m_session = std::make_unique<ImapSession>(
        m_values, [this] { return sessionSettings(m_settings); }, std::move(socket), m_box,
        [this] {
            auto t = std::make_unique<FakeTimer>();
            m_timers.append(t.get());
            return t;
        });
}

void TestImapSession::cleanup()
{
    m_session.reset();
}

void TestImapSession::signIn_data()
{
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QByteArray>("capabilities");
    QTest::addColumn<Lines>("dialogue"); // from the sign-in on
    QTest::addColumn<SessionFailure>("failure");
    QTest::addColumn<QString>("detail");
    const Lines walkAndOut{"S: A2 OK Logged in", "C: A3 CAPABILITY", "S: A3 OK",
                           "C: A4 EXAMINE INBOX", "S: * 0 EXISTS", "S: A4 OK", "C: A5 LOGOUT"};
    QTest::newRow("quoted") << "imap://h" << "pa\"ss\\" << QByteArray("IMAP4rev1")
                            << Lines{"C: A2 LOGIN taro \"pa\\\"ss\\\\\""} + walkAndOut
                            << SessionFailure::None << QString();
    QTest::newRow("literal") << "imap://h" << "päss" << QByteArray("IMAP4rev1")
                             << Lines{"C: A2 LOGIN taro {5}", "S: + OK", "C: päss"} + walkAndOut
                             << SessionFailure::None << QString();
    QTest::newRow("LOGINDISABLED on TLS")
        << "imaps://h" << "pw" << QByteArray("IMAP4rev1 LOGINDISABLED AUTH=PLAIN")
        << Lines{"C: A2 AUTHENTICATE PLAIN", "S: +", "C: AHRhcm8AcHc="} + walkAndOut
        << SessionFailure::None << QString();
    QTest::newRow("LOGINDISABLED in clear")
        << "imap://h" << "pw" << QByteArray("IMAP4rev1 LOGINDISABLED AUTH=PLAIN")
        << Lines{"C: A2 LOGOUT"} << SessionFailure::LoginRefused << "LOGINDISABLED";
    QTest::newRow("refused") << "imap://h" << "pw" << QByteArray("IMAP4rev1")
                             << Lines{"C: A2 LOGIN taro pw", "S: A2 NO [AUTHENTICATIONFAILED] no",
                                      "C: A3 LOGOUT", "S: * BYE", "S: A3 OK"}
                             << SessionFailure::LoginRefused << "NO [AUTHENTICATIONFAILED] no";
}

void TestImapSession::signIn()
{
    QFETCH(QString, server);
    QFETCH(QString, password);
    QFETCH(QByteArray, capabilities);
    QFETCH(Lines, dialogue);
    QFETCH(SessionFailure, failure);
    QFETCH(QString, detail);
    m_settings.Pop3Server = server;
    m_settings.Password = password;
    QSignalSpy ended(m_session.get(), &MailSession::ended);
    m_session->Command1_Click();
    QCOMPARE(m_socket->connects.value(0).tls, server.startsWith(u"imaps"));
    QCOMPARE(m_socket->connects.value(0).port, server.startsWith(u"imaps") ? 993 : 143);
    const QString played =
        m_socket->play(Lines{"S: * OK ready", "C: A1 CAPABILITY", "S: * CAPABILITY " + capabilities,
                             "S: A1 OK"} +
                       dialogue);
    QVERIFY2(played.isEmpty(), qPrintable(played));
    QCOMPARE(m_values.SessionStep, SessionStep::Quit);
    QCOMPARE(ended.size(), 1);
    QCOMPARE(ended.at(0).at(0).value<SessionFailure>(), failure);
    QCOMPARE(ended.at(0).at(1).toString(), detail);
}

void TestImapSession::walkEndsByIdentity_data()
{
    QTest::addColumn<QString>("lastUid");
    QTest::addColumn<Lines>("walk");
    const Lines trigger = fetched(2, 29, "RINGLARK: please dial", "owner@example.jp");
    // Known end, UIDNEXT 31: at most two mails can be new, so the first request is all.
    QTest::newRow("LASTUID") << "77/28"
                             << Lines{"C: A5 FETCH 2:3 (UID BODY.PEEK[HEADER])"} + trigger +
                                    fetched(3, 30, "news") + Lines{"S: A5 OK"};
    // Another UIDVALIDITY: the mailbox was rebuilt, and is walked as on a first check.
    QTest::newRow("UIDVALIDITY changed")
        << "76/30"
        << Lines{"C: A5 FETCH 1:3 (UID BODY.PEEK[HEADER])"} + fetched(1, 28, "old") + trigger +
               fetched(3, 30, "news") + Lines{"S: A5 OK"};
}

void TestImapSession::walkEndsByIdentity()
{
    QFETCH(QString, lastUid);
    QFETCH(Lines, walk);
    m_settings.lastUid = lastUid;
    m_session->setPushAllowed(false);
    m_session->Command1_Click();
    const QString played = m_socket->play(signedIn() + walk + Lines{"C: A6 LOGOUT", "S: A6 OK"});
    QVERIFY2(played.isEmpty(), qPrintable(played));
    // Newest first: message 3 then the trigger, where the walk ends.
    QCOMPARE(m_values.TriggerFlag, TriggerFlag::Start);
    QCOMPARE(m_values.MailSubject, QStringLiteral("RINGLARK: please dial"));
    QCOMPARE(m_session->walkIdentity(), QStringLiteral("77/30"));
    QVERIFY(m_socket->closed);
    QVERIFY(!m_session->isRunning());
}

void TestImapSession::pushAndRenew()
{
    m_settings.lastUid = QStringLiteral("77/30");
    QSignalSpy wanted(m_session.get(), &ImapSession::checkWanted);
    m_session->Command1_Click();
    // Nothing new by UIDNEXT: no FETCH at all, straight to IDLE.
    QString played = m_socket->play(signedIn() + Lines{"C: A5 IDLE", "S: + idling"});
    QVERIFY2(played.isEmpty(), qPrintable(played));
    QCOMPARE(m_values.SessionStep, SessionStep::Quit);
    QVERIFY(m_session->idling() && !m_session->isRunning());
    QVERIFY(!timer(0).active && timer(2).interval == ImapSession::kRenewMs);

    // A check while nothing is new says nothing to the server.
    m_values.SessionStep = SessionStep::None;
    m_session->Command1_Click();
    QCOMPARE(m_values.SessionStep, SessionStep::Quit);

    // New mail: the check ends the IDLE and fetches just that one.
    played = m_socket->play({"S: * 4 EXISTS"});
    QVERIFY2(played.isEmpty(), qPrintable(played));
    QCOMPARE(wanted.size(), 1);
    m_values.SessionStep = SessionStep::None;
    m_session->Command1_Click();
    played = m_socket->play(Lines{"C: DONE", "S: A5 OK Idle completed.",
                                  "C: A6 FETCH 4:4 (UID BODY.PEEK[HEADER])"} +
                            fetched(4, 31, "please dial", "owner@example.jp") +
                            Lines{"S: A6 OK", "C: A7 IDLE", "S: + idling"});
    QVERIFY2(played.isEmpty(), qPrintable(played));
    QCOMPARE(m_values.TriggerFlag, TriggerFlag::Start);
    QCOMPARE(m_session->walkIdentity(), QStringLiteral("77/31"));

    // The renewal; then the stop ends the IDLE at once.
    QVERIFY(timer(2).fire());
    played = m_socket->play({"C: DONE", "S: A7 OK", "C: A8 IDLE", "S: + idling"});
    QVERIFY2(played.isEmpty(), qPrintable(played));
    m_session->setPushAllowed(false);
    QVERIFY(m_socket->play({"C: DONE", "C: A9 LOGOUT"}).isEmpty());
    QVERIFY(m_socket->closed && !m_session->idling() && !timer(3).active);
    // Read-only throughout: nothing but EXAMINE and BODY.PEEK.
    QVERIFY(!m_socket->written.contains("SELECT") && !m_socket->written.contains("STORE"));
}

void TestImapSession::lossAndRetries()
{
    m_session->setRetryCap(3000);
    QSignalSpy lost(m_session.get(), &ImapSession::pushLost);
    QSignalSpy wanted(m_session.get(), &ImapSession::checkWanted);
    m_settings.lastUid = QStringLiteral("77/30");
    m_session->Command1_Click();
    QVERIFY(m_socket->play(signedIn() + Lines{"C: A5 IDLE", "S: + idling"}).isEmpty());
    // A renewal the server leaves unanswered is a loss, as is a closed connection.
    QVERIFY(timer(2).fire());
    QVERIFY(m_socket->play({"C: DONE"}).isEmpty());
    QVERIFY(timer(0).fire());
    QCOMPARE(lost.size(), 1);
    QVERIFY(m_socket->closed);
    // 1 s, then 2 s, then capped at the interval, while reconnects fail.
    for (const int delay : {1000, 2000, 3000, 3000}) {
        QCOMPARE(timer(3).interval, delay);
        QVERIFY(timer(3).fire());
        m_values.SessionStep = SessionStep::None;
        m_session->Command1_Click();
        m_socket->serverClose();
    }
    QCOMPARE(wanted.size(), 4);
    QCOMPARE(lost.size(), 1);
    // Back: IDLE again, the pace starts over.
    QVERIFY(timer(3).fire());
    m_socket->written.clear();
    m_socket->heard = 0;
    m_session->Command1_Click();
    QVERIFY(m_socket->play(signedIn() + Lines{"C: A5 IDLE", "S: + idling"}).isEmpty());
    QVERIFY(m_session->idling());
    QCOMPARE(m_session->retryDelay(), ImapSession::kFirstRetryMs);
}

QTEST_GUILESS_MAIN(TestImapSession)
#include "tst_imap_session.moc"
