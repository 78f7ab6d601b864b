#include "log_capture.h"
#include "pop3_errors.h"
#include "session_rig.h"

#include <QSignalSpy>
#include <QTest>

using namespace ringlark;
using namespace ringlark::test;

namespace {
using Lines = QList<QByteArray>;
const QByteArray kDashes = QByteArray(37, '-') + "\r\n";

// The session as a whole after an exchange, for comparing deliveries.
struct Outcome
{
    QByteArray written;
    QString text4; // the traffic without the separators, which follow each reply's last chunk
    qsizetype separators;
    QString text6;
    QString step;
    qint64 mailNo;
    QString mailCount;
    bool closed;
    bool command1;
    QString mailFrom;
    QString mailSubject;
    QString triggerFlag;
    bool operator==(const Outcome &) const = default;
};

Outcome outcome(SessionRig &rig)
{
    QString traffic = rig.report.traffic().text();
    const QString dashes = QString::fromLatin1(kDashes);
    const qsizetype separators = traffic.count(dashes);
    traffic.remove(dashes);
    return {rig.socket.written,
            traffic,
            separators,
            rig.report.results(),
            spelling(rig.values.SessionStep),
            rig.values.MailNo,
            rig.values.MailCount,
            rig.socket.closed,
            !rig.session.isRunning(),
            rig.values.MailFrom,
            rig.values.MailSubject,
            spelling(rig.values.TriggerFlag)};
}
} // namespace

class TestPop3Session : public QObject
{
    Q_OBJECT
private slots:
    void emptyMailbox();
    void oneMessage();
    void fiveMessagesWalkDownToOne();
    void negativeReplyAtEachStep_data();
    void negativeReplyAtEachStep();
    void statReplies_data();
    void statReplies();
    void sameResultForEveryChunking();
    void startClosesLeftoverConnection();
    void watchdogEndsSilentSession();
    void watchdogReadsWaitingBytesFirst();
    void watchdogWaitsForBytesNotYetTakenIn();
    void oneBoxForRepeatedSocketErrors();
    void howTheSessionEnded_data();
    void howTheSessionEnded();
    void unusableServerSettingGoesLikeSocketError();
    void serverCloses();
    void cutOffSessionThenNormalOne();
    void lineBreakInCredentialIsNeverSent_data();
    void lineBreakInCredentialIsNeverSent();
    void oversizedReplyIsPassedOver();
    void passwordMaskedInLog();

    // These need the real recognition of trigger mails.
    void olderOfTwoIsTheTrigger();
    void firstExaminedIsTrigger_data();
    void firstExaminedIsTrigger();
    void secondSessionStopsAtKnownNewest();
};

void TestPop3Session::emptyMailbox()
{
    SessionRig rig;
    rig.values.TriggerFlag = TriggerFlag::Stop;
    QStringList steps;
    connect(&rig.session, &Pop3Session::sessionStepChanged, this,
            [&] { steps.append(spelling(rig.values.SessionStep)); });
    QSignalSpy enabled(&rig.session, &Pop3Session::runningChanged);

    rig.start();
    QCOMPARE(rig.socket.connects.size(), 1);
    QCOMPARE(rig.socket.connects[0].host, QStringLiteral("pop.example.jp"));
    QCOMPARE(rig.socket.connects[0].port, quint16(110));
    QVERIFY(!rig.socket.connects[0].tls);
    QVERIFY(rig.session.isRunning());
    QVERIFY(rig.session.watchdogActive());

    // One command at a time, each only after the answer to the one before.
    QCOMPARE(rig.socket.play(opening("+OK 0 0") + Lines{"C: QUIT"}), QString());
    QCOMPARE(rig.values.SessionStep, SessionStep::Quit);
    // Over for the check cycle, but the connection waits for QUIT's answer.
    QVERIFY(!rig.socket.closed);
    QVERIFY(rig.session.isRunning());

    QCOMPARE(rig.socket.play({"S: +OK Logging out."}), QString());
    QVERIFY(rig.socket.closed);
    QVERIFY(!rig.session.isRunning());
    QVERIFY(!rig.session.watchdogActive());
    QCOMPARE(steps,
             (QStringList{QStringLiteral("Connect"), QStringLiteral("User"), QStringLiteral("Pass"),
                          QStringLiteral("Stat"), QStringLiteral("Quit")}));
    QCOMPARE(enabled.size(), 2);
    QCOMPARE(rig.values.TriggerFlag, TriggerFlag::Stop);
    QCOMPARE(rig.values.MailCount, QStringLiteral("0"));
    QVERIFY(rig.report.results().isEmpty());
    QVERIFY(rig.report.traffic().text().endsWith(QStringLiteral("+OK Logging out.\r\n")));
    QCOMPARE(rig.box.shown.size(), 0);
}

void TestPop3Session::oneMessage()
{
    SessionRig rig;
    rig.start();
    // QUIT goes out as soon as message 1's reply is complete, before it is examined; its
    // answer comes below.
    QCOMPARE(rig.socket.play(walkDialogue(walkReplies(1)).first(12)), QString());
    QCOMPARE(rig.values.SessionStep, SessionStep::Quit);
    QCOMPARE(rig.values.MailNo, 0);
    QCOMPARE(rig.report.results().count(QStringLiteral("件名:")), 1);
    QVERIFY(rig.report.traffic().text().endsWith(QString::fromLatin1(kDashes)));
    QCOMPARE(rig.report.mailNumber(), QStringLiteral("MailNo: 0"));
    QCOMPARE(rig.report.step(), QStringLiteral("MailStep:Retr"));
    QCOMPARE(rig.report.lastDate(), QStringLiteral("最後の起動日時:2003/04/01 00:00:00"));
    QCOMPARE(rig.socket.play({"S: +OK Logging out."}), QString());
    QVERIFY(rig.socket.closed);
    QVERIFY(!rig.session.isRunning());
}

void TestPop3Session::fiveMessagesWalkDownToOne()
{
    SessionRig rig;
    rig.start();
    // Single-spaced TOP lines that Dovecot and Cyrus accept; message 1 is examined too. The
    // server lists no PIPELINING.
    QCOMPARE(rig.socket.play(
                 walkDialogue(walkReplies(5), "+OK Capability list follows\r\nTOP\r\nUSER\r\n.")),
             QString());
    QCOMPARE(rig.report.results().count(QStringLiteral("件名:")), 5);
    QCOMPARE(rig.report.traffic().text().count(QString::fromLatin1(kDashes)), 5);
    QVERIFY(!rig.report.traffic().text().contains(QStringLiteral("-ERR")));
    QCOMPARE(rig.values.SessionStep, SessionStep::Quit);
    QCOMPARE(rig.values.MailCount, QStringLiteral("5"));
    QVERIFY(rig.socket.closed);
    QVERIFY(!rig.session.isRunning());
}

void TestPop3Session::negativeReplyAtEachStep_data()
{
    QTest::addColumn<Lines>("dialogue");
    // The opening up to its line `at`, the command `sent`, the server says `no`: QUIT.
    const auto refused = [](qsizetype at, const QByteArray &no, const QByteArray &sent = {}) {
        Lines d = opening("+OK 2").first(at);
        if (!sent.isEmpty())
            d.append(sent);
        return d + Lines{"S: " + no, "C: QUIT", "S: +OK Logging out."};
    };
    const QByteArray no = "-ERR [AUTH] Authentication failed.";
    QTest::newRow("greeting") << refused(0, no);
    QTest::newRow("USER") << refused(4, no);
    QTest::newRow("PASS") << refused(6, no);
    QTest::newRow("STAT") << refused(8, no);
    QTest::newRow("TOP -ERR") << refused(9, "-ERR Noise after size", "C: TOP 2 1");
    QTest::newRow("TOP garbage") << refused(9, "Subject: x", "C: TOP 2 1");
    QTest::newRow("+OKAY is not positive") << refused(0, "+OKAY");
}

void TestPop3Session::negativeReplyAtEachStep()
{
    QFETCH(Lines, dialogue);
    SessionRig rig;
    rig.start();
    QCOMPARE(rig.socket.play(dialogue), QString());
    QCOMPARE(rig.values.SessionStep, SessionStep::Quit);
    QVERIFY(rig.report.results().isEmpty()); // a polite ending, not an error
    QVERIFY(rig.socket.closed);
    QVERIFY(!rig.session.isRunning());
}

void TestPop3Session::statReplies_data()
{
    QTest::addColumn<QByteArray>("stat");
    QTest::addColumn<QByteArray>("sent"); // what follows STAT's reply
    QTest::addColumn<qint64>("mailNo");
    QTest::addColumn<QString>("text6");
    QTest::newRow("count and size")
        << QByteArray("+OK 12 3456") << QByteArray("C: TOP 12 1") << qint64(11) << QString();
    QTest::newRow("count only") << QByteArray("+OK 3") << QByteArray("C: TOP 3 1") << qint64(2)
                                << QString();
    QTest::newRow("beyond 16 bits") << QByteArray("+OK 40000 99999999")
                                    << QByteArray("C: TOP 40000 1") << qint64(39999) << QString();
    QTest::newRow("no count") << QByteArray("+OK") << QByteArray() << qint64(-1)
                              << errorReport(Pop3Error::StatReplyUnreadable);
    QTest::newRow("not a number") << QByteArray("+OK many 3") << QByteArray() << qint64(-1)
                                  << errorReport(Pop3Error::StatReplyUnreadable);
    QTest::newRow("negative") << QByteArray("+OK -3 3") << QByteArray() << qint64(-1)
                              << errorReport(Pop3Error::StatReplyUnreadable);
    QTest::newRow("overflow") << QByteArray("+OK 99999999999999999999 1") << QByteArray()
                              << qint64(-1) << errorReport(Pop3Error::MessageCountTooLarge);
}

void TestPop3Session::statReplies()
{
    QFETCH(QByteArray, sent);
    QFETCH(QString, text6);
    QFETCH(QByteArray, stat);
    SessionRig rig;
    rig.values.MailNo = -1; // left over from an earlier session
    rig.start();
    // Nothing more is sent on the error path.
    QCOMPARE(rig.socket.play(opening(stat) + (sent.isEmpty() ? Lines{} : Lines{sent})), QString());
    QCOMPARE(rig.report.results(), text6);
    QTEST(rig.values.MailNo, "mailNo");
    if (sent.isEmpty()) {
        // The error path: closed at once.
        QVERIFY(rig.socket.closed);
        QVERIFY(!rig.session.isRunning());
        QVERIFY(!rig.session.watchdogActive());
        QCOMPARE(rig.values.SessionStep, SessionStep::Quit);
        QCOMPARE(rig.box.shown.size(), 0);
    } else {
        QCOMPARE(rig.values.SessionStep, SessionStep::Retr);
    }
}

void TestPop3Session::sameResultForEveryChunking()
{
    QList<QByteArray> replies = walkReplies(3);
    // In step "Quit" the first chunk of any answer closes the connection, so QUIT's answer
    // always comes whole, and the traffic views can be compared.
    const QByteArray bye = replies.takeLast();
    QList<QByteArray> stream = replies;
    stream.insert(1, SessionRig().capa);
    const QByteArray all = stream.join();

    SessionRig whole;
    whole.start();
    whole.socket.deliver(all + bye);
    const Outcome expected = outcome(whole);
    QCOMPARE(whole.socket.writtenLines(), walkCommands(3));
    QVERIFY(expected.closed);

    SessionRig reactive;
    reactive.start();
    reactive.converse(replies, 7);
    const Outcome o = outcome(reactive);
    QCOMPARE(o.written, expected.written);
    QCOMPARE(o.text4, expected.text4);
    QCOMPARE(o.text6, expected.text6);
    QVERIFY(o == expected);

    SessionRig bytewise;
    bytewise.start();
    bytewise.deliverChunked(all, 1);
    bytewise.socket.deliver(bye);
    QVERIFY(outcome(bytewise) == expected);

    for (qsizetype cut = 1; cut < all.size(); ++cut) {
        SessionRig rig;
        rig.start();
        rig.socket.deliver(all.left(cut));
        rig.socket.deliver(all.mid(cut));
        rig.socket.deliver(bye);
        if (!(outcome(rig) == expected))
            QFAIL(qPrintable(QStringLiteral("differs when split at byte %1").arg(cut)));
    }
}

void TestPop3Session::startClosesLeftoverConnection()
{
    SessionRig rig;
    rig.start();
    QCOMPARE(rig.socket.play(opening().first(6)), QString());
    QCOMPARE(rig.values.SessionStep, SessionStep::Pass);
    rig.values.SessionStep = SessionStep::None;
    rig.session.Command1_Click(); // Command1 is disabled: the check cycle presses it anyway
    QCOMPARE(rig.socket.closeCount, 1);
    QCOMPARE(rig.socket.connects.size(), 2);
    QVERIFY(rig.report.traffic().text().isEmpty());
    QCOMPARE(rig.socket.play(opening("+OK 0") + Lines{"C: QUIT"}), QString());
}

void TestPop3Session::watchdogEndsSilentSession()
{
    SessionRig rig;
    QSignalSpy status(&rig.session, &Pop3Session::serverSilent);
    rig.start();
    QCOMPARE(rig.watchdog().interval, Pop3Session::kWatchdogMs);
    QCOMPARE(rig.socket.play({"S: +OK ready", "C: CAPA"}), QString()); // then silence
    QVERIFY(rig.watchdog().fire());
    QCOMPARE(rig.values.SessionStep, SessionStep::Quit);
    QCOMPARE(rig.report.results(), QStringLiteral("メールサーバーが応答しません"));
    QCOMPARE(status.size(), 1);
    QVERIFY(rig.socket.closed);
    QVERIFY(!rig.session.isRunning());
    QVERIFY(!rig.session.watchdogActive());
    QCOMPARE(rig.socket.play({}), QString()); // no QUIT to a silent server
}

void TestPop3Session::watchdogReadsWaitingBytesFirst()
{
    SessionRig rig;
    QSignalSpy status(&rig.session, &Pop3Session::serverSilent);
    rig.start();
    QCOMPARE(rig.socket.play(opening().first(8)), QString());
    // The answer arrived while the thread was blocked (a dial); its readyRead is not
    // handled yet when the watchdog fires.
    rig.socket.queueUnread("+OK 0 0\r\n");
    rig.session.Timer1_Timer();
    QCOMPARE(status.size(), 0);
    QCOMPARE(rig.socket.play({"C: QUIT"}), QString());
    QVERIFY(rig.report.results().isEmpty());
    QVERIFY(rig.session.watchdogActive());
}

void TestPop3Session::watchdogWaitsForBytesNotYetTakenIn()
{
    SessionRig rig;
    QSignalSpy status(&rig.session, &Pop3Session::serverSilent);
    rig.start();
    QCOMPARE(rig.socket.play(opening().first(8)), QString());
    // The answer is in the system's buffer; the socket takes it in on a later turn.
    rig.socket.pendingInSystem = 9;
    rig.session.Timer1_Timer();
    QCOMPARE(status.size(), 0);
    QVERIFY(rig.session.watchdogActive());
    rig.socket.pendingInSystem = 0;
    QCOMPARE(rig.socket.play({"S: +OK 0 0", "C: QUIT"}), QString());

    // Bytes that never come through do not keep a session alive for long.
    SessionRig stuck;
    QSignalSpy stuckStatus(&stuck.session, &Pop3Session::serverSilent);
    stuck.start();
    stuck.socket.deliver("+OK\r\n");
    stuck.socket.pendingInSystem = 3;
    for (int turn = 0; turn <= Pop3Session::kGraceTurns && stuckStatus.isEmpty(); ++turn)
        QVERIFY(stuck.watchdog().fire());
    QCOMPARE(stuckStatus.size(), 1);
    QCOMPARE(stuck.values.SessionStep, SessionStep::Quit);
}

void TestPop3Session::oneBoxForRepeatedSocketErrors()
{
    SessionRig rig;
    rig.start();
    rig.socket.raiseError(0, QStringLiteral("Connection refused"));
    QCOMPARE(rig.box.texts(), QStringList{QStringLiteral("ERR(0;Connection refused)")});
    // Nothing more comes over that connection: the session ends at once, not at the watchdog.
    QCOMPARE(rig.values.SessionStep, SessionStep::Quit);
    QVERIFY(!rig.session.watchdogActive() && !rig.session.isRunning());

    for (int check = 0; check < 5; ++check) { // an unattended night of checks
        rig.start();
        rig.socket.raiseError(0, QStringLiteral("Connection refused"));
    }
    QCOMPARE(rig.box.shown.size(), 1);
    rig.box.closeAll();
    rig.start();
    rig.socket.raiseError(2, QStringLiteral("Host not found"));
    QCOMPARE(rig.box.shown.size(), 2);
    QCOMPARE(rig.box.shown[1].text, QStringLiteral("ERR(2;Host not found)"));
}

void TestPop3Session::howTheSessionEnded_data()
{
    QTest::addColumn<QList<QByteArray>>("replies");
    QTest::addColumn<int>("socketError"); // raised after the replies; -1: none
    QTest::addColumn<int>("failure");
    QTest::addColumn<QString>("detail");
    const QByteArray no = "-ERR [AUTH] Authentication failed.\r\n";
    const QString noText = QStringLiteral("-ERR [AUTH] Authentication failed.");
    QTest::newRow("walk done") << walkReplies(1) << -1 << int(SessionFailure::None) << QString();
    QTest::newRow("USER refused") << QList<QByteArray>{"+OK hi\r\n", no} << -1
                                  << int(SessionFailure::LoginRefused) << noText;
    QTest::newRow("PASS refused") << QList<QByteArray>{"+OK hi\r\n", "+OK\r\n", no} << -1
                                  << int(SessionFailure::LoginRefused) << noText;
    // The first cause is the one named, not the ending that follows it.
    QTest::newRow("socket error") << QList<QByteArray>{} << 0 << int(SessionFailure::Socket)
                                  << QStringLiteral("ERR(0;boom)");
    QTest::newRow("TLS handshake") << QList<QByteArray>{} << 13 << int(SessionFailure::Tls)
                                   << QStringLiteral("ERR(13;boom)");
    QTest::newRow("server silent") << QList<QByteArray>{"+OK hi\r\n"} << -1
                                   << int(SessionFailure::Silent) << QString();
}

void TestPop3Session::howTheSessionEnded()
{
    QFETCH(QList<QByteArray>, replies);
    QFETCH(int, socketError);
    SessionRig rig;
    QList<std::pair<int, QString>> endings;
    connect(&rig.session, &Pop3Session::ended, this,
            [&endings](SessionFailure f, const QString &d) { endings.append({int(f), d}); });
    rig.start();
    rig.converse(replies);
    if (socketError >= 0)
        rig.socket.raiseError(socketError, QStringLiteral("boom"));
    rig.watchdog().fire(); // where the server says no more
    QCOMPARE(rig.values.SessionStep, SessionStep::Quit);
    QVERIFY(!rig.watchdog().isActive() && !rig.deadline().isActive()); // no second ending
    QCOMPARE(endings.size(), 1);
    QTEST(endings.constFirst().first, "failure");
    QTEST(endings.constFirst().second, "detail");
}

void TestPop3Session::unusableServerSettingGoesLikeSocketError()
{
    SessionRig rig;
    rig.settings.account.server = QString();
    rig.start();
    rig.start();
    QCOMPARE(rig.socket.connects.size(), 0);
    QCOMPARE(rig.box.texts(), QStringList{errorReport(Pop3Error::BadServerAddress)});
    QVERIFY(!rig.watchdog().fire()); // the error ended it
    QCOMPARE(rig.values.SessionStep, SessionStep::Quit);
    QVERIFY(!rig.session.isRunning());

    rig.settings.account.server = QStringLiteral("pop3s://[::1]:1995");
    rig.start();
    QCOMPARE(rig.socket.connects.size(), 1);
    QCOMPARE(rig.socket.connects[0].host, QStringLiteral("::1"));
    QCOMPARE(rig.socket.connects[0].port, quint16(1995));
    QVERIFY(rig.socket.connects[0].tls);
}

void TestPop3Session::serverCloses()
{
    // After QUIT, the close comes before (or instead of) the answer: no box, no error.
    SessionRig rig;
    rig.start();
    QCOMPARE(rig.socket.play(opening("+OK 0") + Lines{"C: QUIT"}), QString());
    rig.socket.serverClose();
    QCOMPARE(rig.box.shown.size(), 0);
    QVERIFY(rig.report.results().isEmpty());
    QVERIFY(!rig.session.isRunning());
    QVERIFY(!rig.session.watchdogActive());

    // In the middle of a session the close ends it at once, through the error path.
    SessionRig cut;
    cut.start();
    QCOMPARE(cut.socket.play(opening().first(6)), QString());
    cut.socket.serverClose();
    QCOMPARE(cut.box.shown.size(), 0);
    QCOMPARE(cut.report.results(), errorReport(Pop3Error::ConnectionLost));
    QCOMPARE(cut.values.SessionStep, SessionStep::Quit);
    QVERIFY(!cut.session.isRunning());
    QVERIFY(!cut.session.watchdogActive());
}

void TestPop3Session::cutOffSessionThenNormalOne()
{
    SessionRig rig;
    rig.start();
    QList<QByteArray> replies = walkReplies(2);
    replies[4] = replies[4].left(replies[4].size() / 2); // half a header, then silence
    replies.resize(5);
    rig.converse(replies);
    rig.session.Timer1_Timer();
    QCOMPARE(rig.values.SessionStep, SessionStep::Quit);

    rig.socket.written.clear();
    rig.start();
    QCOMPARE(rig.socket.play(walkDialogue(walkReplies(2))), QString());
    QCOMPARE(rig.report.results().count(QStringLiteral("件名:")), 2);
    QVERIFY(rig.socket.closed);
}

void TestPop3Session::lineBreakInCredentialIsNeverSent_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<Lines>("dialogue"); // the opening up to where the session stops
    QTest::newRow("password CR LF") << "taro"
                                    << "pw\r\nDELE 1" << opening().first(5);
    QTest::newRow("password LF") << "taro"
                                 << "pw\nDELE 1" << opening().first(5);
    QTest::newRow("user CR") << "taro\rDELE 1"
                             << "pw" << opening().first(3);
}

void TestPop3Session::lineBreakInCredentialIsNeverSent()
{
    QFETCH(QString, user);
    QFETCH(QString, password);
    SessionRig rig;
    rig.settings.account.user = user;
    rig.settings.account.password = password;
    rig.start();
    QFETCH(Lines, dialogue);
    QCOMPARE(rig.socket.play(dialogue), QString()); // no line more: no DELE

    QCOMPARE(rig.report.results(), errorReport(Pop3Error::UnsafeCredential));
    QCOMPARE(rig.values.SessionStep, SessionStep::Quit);
    QVERIFY(rig.socket.closed);
}

void TestPop3Session::oversizedReplyIsPassedOver()
{
    SessionRig rig;
    QSignalSpy skipped(&rig.session, &Pop3Session::mailSkipped);
    rig.start();
    QCOMPARE(rig.socket.play(opening("+OK 2") + Lines{"C: TOP 2 1"}), QString());
    rig.socket.deliver("+OK\r\nDate: Sat, 25 Sep 2004 09:00:00 +0900\r\nX-Junk: ");
    const QByteArray junk(256 * 1024, 'j');
    for (int i = 0; i < 5; ++i)
        rig.socket.deliver(junk);
    QVERIFY(!rig.socket.closed);
    // Mail 2 passed over; the walk goes on to mail 1.
    QCOMPARE(rig.socket.play({"S: ", "S: .", "C: TOP 1 1"}), QString());
    QCOMPARE(skipped.size(), 1);
    QVERIFY(skipped.at(0).at(0).toString().contains(QStringLiteral("2004/09/25 09:00:00、13")));
    QCOMPARE(rig.values.SessionStep, SessionStep::Retr);
}

void TestPop3Session::passwordMaskedInLog()
{
    QString all;
    {
        LogCapture log("ringlark.pop3");
        SessionRig rig;
        rig.start();
        QList<QByteArray> replies = walkReplies(1);
        replies[4].replace("mail number 1.", "ring 123456 at 1234567");
        rig.converse(replies);
        all = log.joined();
    }
    QVERIFY(all.contains(QStringLiteral("C: PASS ****")));
    QVERIFY(all.contains(QStringLiteral("C: TOP 1 1")));
    QVERIFY(all.contains(QStringLiteral("S: +OK Logged in.")));
    QVERIFY(!all.contains(QStringLiteral("s3cret")));
    // A code still valid for minutes is not shown either.
    QVERIFY(all.contains(QStringLiteral("S: Subject: ring ****** at 1234567")));
}

namespace {
QByteArray triggerTop(const QByteArray &date)
{
    MailSpec mailSpec;
    mailSpec.fromAddress = "owner@example.jp";
    mailSpec.subject = "Please dial now.";
    mailSpec.date = date;
    return "+OK\r\n" + topReplyBody(realisticMail(mailSpec));
}

void useTriggerSettings(SessionRig &rig)
{
    rig.settings.rules.fromText = QStringLiteral("OWNER@EXAMPLE.JP");
    rig.settings.rules.subjectText = QStringLiteral("please dial");
}
} // namespace

void TestPop3Session::olderOfTwoIsTheTrigger()
{
    SessionRig rig;
    useTriggerSettings(rig);
    QList<QByteArray> replies = walkReplies(2);
    replies[5] = triggerTop("Sat, 25 Sep 2004 09:00:00 +0900"); // message 1
    rig.start();
    QCOMPARE(rig.socket.play(walkDialogue(replies)), QString());
    QCOMPARE(rig.values.TriggerFlag, TriggerFlag::Start);
    QCOMPARE(rig.values.TriggerMailDate.value, QDateTime(QDate(2004, 9, 25), QTime(9, 0), Qt::UTC));
    QVERIFY(rig.socket.closed);
}

void TestPop3Session::firstExaminedIsTrigger_data()
{
    QTest::addColumn<QString>("lastDate");
    QTest::addColumn<QString>("flag");
    QTest::newRow("new") << "2004/09/25 08:59:59"
                         << "START";
    QTest::newRow("not new") << "2004/09/25 09:00:00"
                             << "STOP";
}

void TestPop3Session::firstExaminedIsTrigger()
{
    QFETCH(QString, lastDate);
    QFETCH(QString, flag);
    SessionRig rig;
    useTriggerSettings(rig);
    setLastDate(rig.settings, lastDate);
    rig.start();
    // Message 2's request was out before message 3 was examined; no QUIT follows.
    const QByteArray top = triggerTop("Sat, 25 Sep 2004 09:00:00 +0900");
    QCOMPARE(rig.socket.play(opening("+OK 3 999") +
                             Lines{"C: TOP 3 1", "S: " + top.chopped(2), "C: TOP 2 1"}),
             QString());
    QCOMPARE(spelling(rig.values.TriggerFlag), flag);
    QCOMPARE(rig.values.SessionStep, SessionStep::Quit);
    if (flag == u"STOP") {
        QVERIFY(rig.socket.closed); // an old trigger closes at once
        QVERIFY(!rig.session.watchdogActive());
    } else {
        QVERIFY(!rig.socket.closed); // the outstanding answer closes it
        rig.socket.deliver(walkReplies(3).at(5));
        QVERIFY(rig.socket.closed);
    }
    QVERIFY(!rig.session.isRunning());
}

void TestPop3Session::secondSessionStopsAtKnownNewest()
{
    SessionRig rig;
    rig.start();
    QCOMPARE(rig.socket.play(walkDialogue(walkReplies(3))), QString());

    rig.start();
    // Message 2's request is out before message 3 is found the newest seen; its reply closes.
    QCOMPARE(rig.socket.play(walkDialogue(walkReplies(3)).first(13)), QString());
    QCOMPARE(rig.report.results().count(QStringLiteral("件名:")), 1);
    QVERIFY(rig.socket.closed);
}

QTEST_GUILESS_MAIN(TestPop3Session)
#include "tst_pop3_session.moc"
