#include "fake_socket.h"
#include "fake_timer.h"
#include "fakes.h"
#include "imap_session.h"
#include "pop3_errors.h"
#include "session_settings.h"
#include "settings_table.h"

#include <QSignalSpy>
#include <QTest>

using namespace ringlark;
using namespace ringlark::test;
using Lines = QList<QByteArray>;
Q_DECLARE_METATYPE(SessionFailure)

namespace {

// "* seq FETCH (UID uid BODY[HEADER] {n}" and the header as its literal, as play() sends it.
Lines fetched(int seq, int uid, const QByteArray &subject, const QByteArray &from = "a@b.jp")
{
    const Lines header{"From: " + from, "Subject: " + subject,
                       "Date: Sat, " + QByteArray::number(seq) + " Sep 2004 09:00:00 +0900", ""};
    Lines out{"S: * " + QByteArray::number(seq) + " FETCH (UID " + QByteArray::number(uid) +
              " BODY[HEADER] {" + QByteArray::number(header.join("\r\n").size() + 2) + "}"};
    for (const QByteArray &line : header + Lines{")"})
        out.append("S: " + line);
    return out;
}

// Signed in (A2; IDLE listed only after it, A3); INBOX of 3 mails, UIDs 28 to 30 (A4).
Lines signedIn(const QByteArray &capabilities = "IMAP4rev1 IDLE")
{
    return {"S: * OK ready",
            "C: A1 CAPABILITY",
            "S: * CAPABILITY IMAP4rev1",
            "S: A1 OK",
            "C: A2 LOGIN taro \"s3cret pw\"",
            "S: A2 OK Logged in",
            "C: A3 CAPABILITY",
            "S: * CAPABILITY " + capabilities,
            "S: A3 OK",
            "C: A4 EXAMINE INBOX",
            "S: * 3 EXISTS",
            "S: * OK [UIDVALIDITY 77] x",
            "S: * OK [UIDNEXT 31] x",
            "S: A4 OK"};
}

} // namespace

// The IMAP response reader (literals split at every byte, the caps against a hostile server)
// and the session's dialogues, scripted: sign-in forms, the walk by identity, IDLE and its
// renewal, the loss of the connection and the retries, and the end of an IDLE on stop.
class TestImapSession : public QObject
{
    Q_OBJECT
private slots:
    void splitAnywhere_data();
    void splitAnywhere();
    void hostile_data();
    void hostile();
    void init();
    void signIn_data();
    void signIn();
    void walkEndsByIdentity_data();
    void walkEndsByIdentity();
    void pushAndRenew();
    void lossAndRetries();

private:
    void play(const Lines &dialogue)
    {
        const QString failed = m_socket->play(dialogue);
        QVERIFY2(failed.isEmpty(), qPrintable(failed));
    }
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
    m_session.reset();
    m_timers.clear();
    m_values = SessionValues();
    m_settings = SettingsTable();
    m_settings.Pop3Server = QStringLiteral("imap://imap.example.jp");
    m_settings.UserName = QStringLiteral("taro");
    m_settings.Password = QStringLiteral("s3cret pw");
    m_settings.FromAddress = QStringLiteral("owner@example.jp");
    m_settings.FromCheck = m_settings.SubjectCheck = QStringLiteral("1");
    m_settings.Subject = QStringLiteral("please dial");
    m_settings.LastDate = QStringLiteral("2003/04/01 00:00:00");
    auto socket = std::make_unique<FakeSocket>();
    m_socket = socket.get();
    m_session = std::make_unique<ImapSession>(
        m_values, [this] { return sessionSettings(m_settings); }, std::move(socket), m_box,
        [this] { return std::unique_ptr<Timer>(m_timers.emplace_back(new FakeTimer)); });
}

void TestImapSession::signIn_data()
{
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QByteArray>("capabilities");
    QTest::addColumn<Lines>("dialogue"); // from the sign-in on
    QTest::addColumn<SessionFailure>("failure");
    QTest::addColumn<QString>("detail");
    const Lines out{"S: A2 OK",      "C: A3 CAPABILITY", "S: A3 OK",    "C: A4 EXAMINE INBOX",
                    "S: * 0 EXISTS", "S: A4 OK",         "C: A5 LOGOUT"};
    QTest::newRow("quoted") << "imap://h"
                            << "pa\"ss\\" << QByteArray()
                            << Lines{"C: A2 LOGIN taro \"pa\\\"ss\\\\\""} + out
                            << SessionFailure::None << QString();
    QTest::newRow("literal") << "imap://h"
                             << "päss" << QByteArray()
                             << Lines{"C: A2 LOGIN taro {5}", "S: + OK", "C: päss"} + out
                             << SessionFailure::None << QString();
    QTest::newRow("LOGINDISABLED, TLS")
        << "imaps://h"
        << "pw" << QByteArray("LOGINDISABLED AUTH=PLAIN")
        << Lines{"C: A2 AUTHENTICATE PLAIN", "S: +", "C: AHRhcm8AcHc="} + out
        << SessionFailure::None << QString();
    QTest::newRow("LOGINDISABLED, clear")
        << "imap://h"
        << "pw" << QByteArray("LOGINDISABLED AUTH=PLAIN") << Lines{"C: A2 LOGOUT"}
        << SessionFailure::LoginRefused << "LOGINDISABLED";
    QTest::newRow("refused") << "imap://h"
                             << "pw" << QByteArray()
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
    const bool tls = server.startsWith(u"imaps");
    QCOMPARE(m_socket->connects.value(0).tls, tls);
    QCOMPARE(m_socket->connects.value(0).port, tls ? 993 : 143);
    play(Lines{"S: * OK ready", "C: A1 CAPABILITY", "S: * CAPABILITY IMAP4rev1 " + capabilities,
               "S: A1 OK"} +
         dialogue);
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
    // By UIDNEXT 31 at most two mails can be new: the first request is all of them.
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
    play(signedIn() + walk + Lines{"C: A6 LOGOUT", "S: A6 OK"});
    // Newest first: message 3, then the trigger, where the walk ends.
    QCOMPARE(m_values.TriggerFlag, TriggerFlag::Start);
    QCOMPARE(m_values.MailSubject, QStringLiteral("RINGLARK: please dial"));
    QCOMPARE(m_session->walkIdentity(), QStringLiteral("77/30"));
    QVERIFY(m_socket->closed && !m_session->isRunning());
}

void TestImapSession::pushAndRenew()
{
    m_settings.lastUid = QStringLiteral("77/30");
    QSignalSpy wanted(m_session.get(), &ImapSession::checkWanted);
    m_session->Command1_Click();
    // Nothing new by UIDNEXT: no FETCH at all, straight to IDLE.
    play(signedIn() + Lines{"C: A5 IDLE", "S: + idling"});
    QCOMPARE(m_values.SessionStep, SessionStep::Quit);
    QVERIFY(m_session->idling() && !m_session->isRunning() && !timer(0).active);
    QCOMPARE(timer(2).interval, ImapSession::kRenewMs);
    // A check with nothing new says nothing to the server.
    m_values.SessionStep = SessionStep::None;
    m_session->Command1_Click();
    QCOMPARE(m_values.SessionStep, SessionStep::Quit);

    // New mail: the check ends the IDLE and fetches just that one.
    play({"S: * 4 EXISTS"});
    QCOMPARE(wanted.size(), 1);
    m_session->Command1_Click();
    play(Lines{"C: DONE", "C: A6 FETCH 4:4 (UID BODY.PEEK[HEADER])", "S: A5 OK Idle completed."} +
         fetched(4, 31, "please dial", "owner@example.jp") +
         Lines{"S: A6 OK", "C: A7 IDLE", "S: + idling"});
    QCOMPARE(m_values.TriggerFlag, TriggerFlag::Start);
    QCOMPARE(m_session->walkIdentity(), QStringLiteral("77/31"));

    // The renewal; then the stop ends the IDLE at once.
    QVERIFY(timer(2).fire());
    play({"C: DONE", "S: A7 OK", "C: A8 IDLE", "S: + idling"});
    m_session->setPushAllowed(false);
    play({"C: DONE", "C: A9 LOGOUT"});
    QVERIFY(m_socket->closed && !m_session->idling() && !timer(3).active);
}

void TestImapSession::lossAndRetries()
{
    m_session->setRetryCap(3000);
    QSignalSpy lost(m_session.get(), &ImapSession::pushLost);
    QSignalSpy wanted(m_session.get(), &ImapSession::checkWanted);
    m_settings.lastUid = QStringLiteral("77/30");
    m_session->Command1_Click();
    play(signedIn() + Lines{"C: A5 IDLE", "S: + idling"});
    // A renewal the server leaves unanswered is a loss, as is a closed connection.
    QVERIFY(timer(2).fire());
    play({"C: DONE"});
    QVERIFY(timer(0).fire());
    QCOMPARE(lost.size(), 1);
    QVERIFY(m_socket->closed);
    // 1 s, then 2 s, then capped at the interval, while reconnects fail.
    for (const int delay : {1000, 2000, 3000, 3000}) {
        QCOMPARE(timer(3).interval, delay);
        QVERIFY(timer(3).fire());
        m_session->Command1_Click();
        m_socket->serverClose();
    }
    QCOMPARE(wanted.size(), 4);
    QCOMPARE(lost.size(), 1);
    // Back in IDLE: the pace starts over.
    m_socket->written.clear();
    m_socket->heard = 0;
    m_session->Command1_Click();
    play(signedIn() + Lines{"C: A5 IDLE", "S: + idling"});
    QCOMPARE(m_session->retryDelay(), ImapSession::kFirstRetryMs);
}

void TestImapSession::splitAnywhere_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<Lines>("texts");    // each response's text
    QTest::addColumn<Lines>("literals"); // every literal, in order
    QTest::newRow("tagged and untagged")
        << QByteArray("* OK [UIDVALIDITY 3857529045] UIDs valid\r\n* 3 EXISTS\r\nA4 OK done\r\n")
        << Lines{"* OK [UIDVALIDITY 3857529045] UIDs valid", "* 3 EXISTS", "A4 OK done"} << Lines{};
    QTest::newRow("literal holding line ends and braces")
        << QByteArray(
               "* 2 FETCH (UID 7 BODY[HEADER] {19}\r\nFrom: a\r\n{3}\r\nx\r\n\r\n)\r\n+ idling\r\n")
        << Lines{"* 2 FETCH (UID 7 BODY[HEADER] {19})", "+ idling"}
        << Lines{"From: a\r\n{3}\r\nx\r\n\r\n"};
    QTest::newRow("two literals, LITERAL+, empty literal, bare LF")
        << QByteArray("* 1 FETCH (BODY[HEADER] {2+}\r\nab BODY[TEXT] {0}\r\n)\nA1 BYE\r\n")
        << Lines{"* 1 FETCH (BODY[HEADER] {2+} BODY[TEXT] {0})", "A1 BYE"} << Lines{"ab", ""};
}

void TestImapSession::splitAnywhere()
{
    QFETCH(QByteArray, stream);
    QFETCH(Lines, texts);
    QFETCH(Lines, literals);
    for (qsizetype cut = 0; cut <= stream.size(); ++cut) {
        ImapReader reader;
        Lines gotLines;
        Lines gotLiterals;
        for (const QByteArray &chunk : {stream.left(cut), stream.mid(cut)}) {
            reader.append(chunk);
            ImapReader::Response r;
            while (reader.take(r) == ImapReader::Result::Complete) {
                gotLines.append(r.text);
                gotLiterals += r.literals;
            }
        }
        QCOMPARE(gotLines, texts);
        QCOMPARE(gotLiterals, literals);
        QVERIFY(!reader.holdsData());
        QCOMPARE(reader.takenBytes(), stream.size());
    }
}

void TestImapSession::hostile_data()
{
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<QByteArray>("drip"); // sent again and again
    QTest::addColumn<bool>("tooLarge");   // or held below the caps, waiting
    const QByteArray fetch = "* 1 FETCH (BODY[HEADER] ";
    QTest::newRow("huge literal count") << fetch + "{99999999999999999}\r\n"
                                        << QByteArray() << true;
    QTest::newRow("literal past the cap") << fetch + "{8388608}\r\n" << QByteArray() << true;
    QTest::newRow("endless line") << QByteArray("* OK ") << QByteArray(64 * 1024, 'x') << true;
    QTest::newRow("endless literal") << fetch + "{8000000}\r\n"
                                     << QByteArray(64 * 1024, 'y') << false;
    QTest::newRow("literals without end") << fetch << QByteArray("{0}\r\n").repeated(1000) << true;
    QTest::newRow("garbage") << QByteArray() << QByteArray("\x01\xff(\")]{x}\r\n") << false;
}

void TestImapSession::hostile()
{
    QFETCH(QByteArray, head);
    QFETCH(QByteArray, drip);
    QFETCH(bool, tooLarge);
    ImapReader reader;
    reader.append(head);
    ImapReader::Result result = ImapReader::Result::Incomplete;
    for (int i = 0; i < 100 && result != ImapReader::Result::TooLarge; ++i) {
        ImapReader::Response r;
        while ((result = reader.take(r)) == ImapReader::Result::Complete)
            imapTokens(r); // must read anything without harm
        QVERIFY(reader.heldBytes() < 2 * kMaxReplyBytes);
        reader.append(drip);
        if (drip.isEmpty())
            break;
    }
    QCOMPARE(result == ImapReader::Result::TooLarge, tooLarge);
}

QTEST_GUILESS_MAIN(TestImapSession)
#include "tst_imap_session.moc"
