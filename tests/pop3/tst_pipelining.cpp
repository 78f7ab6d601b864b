#include "session_rig.h"

#include <QTest>

using namespace ringlark;
using namespace ringlark::test;

namespace {
using Lines = QList<QByteArray>;
const QByteArray kPipelining = "+OK Capability list follows\r\nTOP\r\nUSER\r\npipelining\r\n.\r\n";
const QString kDashes = QString(37, u'-') + QStringLiteral("\r\n");

Lines topsWritten(const SessionRig &rig)
{
    Lines tops;
    for (const QByteArray &line : rig.socket.writtenLines())
        if (line.startsWith("TOP "))
            tops.append(line);
    return tops;
}

qsizetype examined(const SessionRig &rig)
{
    return rig.report.results().count(QStringLiteral("件名:"));
}

// Message n of a mailbox whose messages from `trigger` down are all trigger mails, each a
// day older than the one above it: examining any of them after the first would show.
QList<QByteArray> mailboxWithTriggers(int count, int trigger)
{
    QList<QByteArray> replies = walkReplies(count);
    for (int n = trigger; n >= 1; --n) {
        MailSpec mail;
        mail.fromAddress = "owner@example.jp";
        mail.subject = "Please dial now.";
        mail.date = QByteArray::number(n) + " Sep 2004 09:00:00 +0900";
        replies[4 + count - n] = "+OK\r\n" + topReplyBody(realisticMail(mail));
    }
    return replies;
}
} // namespace

// The session against a fake server that pipelines, or does not: how many requests go out
// ahead, and what happens to the replies when the walk ends.
class TestPipelining : public QObject
{
    Q_OBJECT
private slots:
    void withoutPipeliningOneCommandAtATime_data();
    void withoutPipeliningOneCommandAtATime();
    void windowKeepsRequestsInFlightAndResultsInOrder();
    void walkEndsWithRequestsInFlight_data();
    void walkEndsWithRequestsInFlight();
};

void TestPipelining::withoutPipeliningOneCommandAtATime_data()
{
    QTest::addColumn<QByteArray>("capa");
    QTest::newRow("CAPA unknown") << SessionRig().capa;
    QTest::newRow("no PIPELINING") << QByteArray("+OK\r\nTOP\r\nUSER\r\nSASL PLAIN\r\n.\r\n");
    QTest::newRow("PIPELINING only as an argument")
        << QByteArray("+OK\r\nX-NOT PIPELINING\r\n.\r\n");
}

void TestPipelining::withoutPipeliningOneCommandAtATime()
{
    SessionRig rig;
    QFETCH(QByteArray, capa);
    rig.capa = capa;
    rig.start();
    QList<QByteArray> replies = walkReplies(6);
    const SessionRig::Served s = rig.converse(replies, 0, true);
    QCOMPARE(s.mostAhead, 1);
    QCOMPARE(rig.socket.writtenLines(), walkCommands(6));
    QCOMPARE(examined(rig), 6);
    QVERIFY(rig.socket.closed);
}

void TestPipelining::windowKeepsRequestsInFlightAndResultsInOrder()
{
    // The same mailbox, one command at a time and pipelined, the replies of many requests
    // arriving in one chunk: the same requests, results and traffic, in the same order.
    QList<QByteArray> replies = walkReplies(40);
    SessionRig single;
    single.start();
    single.converse(replies);

    SessionRig rig;
    rig.capa = kPipelining;
    rig.session.setPipelineWindow(64); // "TOP 40 1" CR LF is 10 bytes: six at a time
    rig.start();
    const SessionRig::Served s = rig.converse(replies, 0, true);
    QVERIFY(s.mostAhead >= 6);
    QVERIFY(s.mostTopBytes > 64 - 10 && s.mostTopBytes <= 64);
    QCOMPARE(rig.socket.writtenLines(), walkCommands(40));
    QVERIFY(rig.socket.closed);
    QVERIFY(!rig.session.isRunning());
    QCOMPARE(rig.report.results(), single.report.results());
    QString traffic = rig.report.traffic().text();
    traffic.remove(QString::fromLatin1(rig.capa));
    QCOMPARE(traffic, QString(single.report.traffic().text()).remove(QString::fromLatin1(single.capa)));
    QCOMPARE(traffic.count(QStringLiteral("\r\n.\r\n") + kDashes), 40);

    // The real window: hundreds of requests per round trip, never past its bytes.
    SessionRig big;
    big.capa = kPipelining;
    big.start();
    big.converse({"+OK\r\n", "+OK\r\n", "+OK\r\n", "+OK 5000 0\r\n"});
    const Lines tops = topsWritten(big);
    QVERIFY2(tops.size() > 300, qPrintable(QString::number(tops.size())));
    QVERIFY(tops.join("\r\n").size() + 2 <= TopRequests::kPipelineWindowBytes);
    QCOMPARE(tops.first(), QByteArray("TOP 5000 1"));
}

void TestPipelining::walkEndsWithRequestsInFlight_data()
{
    // A 30-mail box, four requests in flight; messages from `trigger` down are trigger
    // mails, so that a reply examined after the end would change the result.
    QTest::addColumn<QList<QByteArray>>("replies");
    QTest::addColumn<QString>("lastDate");
    QTest::addColumn<bool>("twice");   // a first session has seen the whole box
    QTest::addColumn<int>("examined"); // by the session that ends early
    QTest::addColumn<QString>("flag");
    QTest::addColumn<bool>("quit");

    const QList<QByteArray> triggers = mailboxWithTriggers(30, 27);
    QTest::newRow("new trigger") << triggers << "2003/04/01 00:00:00" << false << 4 << "START"
                                 << true;
    // Not new: the connection closes at once, with no QUIT.
    QTest::newRow("old trigger") << triggers << "2005/01/01 00:00:00" << false << 4 << "STOP"
                                 << false;
    QList<QByteArray> refused = triggers;
    refused[4 + 30 - 28] = "-ERR No such message\r\n";
    QTest::newRow("-ERR") << refused << "2003/04/01 00:00:00" << false << 2 << "" << true;
    QList<QByteArray> plain = walkReplies(30);
    QTest::newRow("newest seen before") << plain << "2003/04/01 00:00:00" << true << 1 << ""
                                        << true;
}

void TestPipelining::walkEndsWithRequestsInFlight()
{
    QFETCH(QList<QByteArray>, replies);
    QFETCH(bool, twice);
    QFETCH(bool, quit);
    SessionRig rig;
    rig.capa = kPipelining;
    rig.settings.rules.fromText = QStringLiteral("owner@example.jp");
    rig.settings.rules.subjectText = QStringLiteral("please dial");
    QFETCH(QString, lastDate);
    setLastDate(rig.settings, lastDate);
    rig.session.setPipelineWindow(40);
    if (twice) {
        rig.start();
        rig.converse(replies, 0, true);
        QCOMPARE(examined(rig), 30);
        rig.socket.written.clear();
    }
    rig.start();
    const SessionRig::Served s = rig.converse(replies);
    QTEST(int(examined(rig)), "examined");
    QTEST(spelling(rig.values.TriggerFlag), "flag");
    if (rig.values.TriggerFlag != TriggerFlag::None)
        QCOMPARE(rig.values.TriggerMailDate.value.date(), QDate(2004, 9, 27));
    // Requests were in flight at the end, and no more went out after it.
    const qsizetype tops = topsWritten(rig).size();
    QVERIFY2(tops > examined(rig) && tops <= examined(rig) + 4, qPrintable(QString::number(tops)));
    QCOMPARE(rig.socket.writtenLines().last() == "QUIT", quit);
    QVERIFY(!s.quitBeforeReplies);
    QVERIFY(rig.socket.closed);
    QVERIFY(!rig.session.isRunning());
    QVERIFY(!rig.report.results().contains(QStringLiteral("ERR(")));
}

QTEST_GUILESS_MAIN(TestPipelining)
#include "tst_pipelining.moc"
