#include "pop3_errors.h"
#include "reply_reader.h"
#include "session_rig.h"
#include "traffic_log.h"

#include <QSignalSpy>
#include <QTest>

using namespace ringlark;
using namespace ringlark::test;

// The bounds that keep an unattended session finite in time and memory, checked exactly on
// a fake socket; tst_hostile_server shows them against real connections.
class TestSessionBounds : public QObject
{
    Q_OBJECT
private slots:
    void deadline_data();
    void deadline();
    void replyLineCountIsCapped();
    void trafficLogCapsSizeAndViewFollows();
    void resultViewCapsSizeAndViewFollows();
};

void TestSessionBounds::deadline_data()
{
    QTest::addColumn<QList<QByteArray>>("dialogue"); // then a header line that never ends
    QTest::addColumn<QString>("results");
    QTest::newRow("ends a session that keeps talking")
        << opening("+OK 1 10") + QList<QByteArray>{"C: TOP 1 1", "S: +OK"}
        << errorReport(Pop3Error::SessionTooLong);
    QTest::newRow("leaves an ended session alone")
        << opening() + QList<QByteArray>{"C: QUIT", "S: +OK bye"} << QString();
}

void TestSessionBounds::deadline()
{
    QFETCH(QList<QByteArray>, dialogue);
    QFETCH(QString, results);
    SessionRig rig;
    rig.start();
    QCOMPARE(rig.deadline().interval, Pop3Session::kSessionDeadlineMs);
    QCOMPARE(rig.socket.play(dialogue), QString());
    // Arriving often enough that the watchdog never fires; a closed socket takes none.
    rig.socket.deliver("Subject: ");
    for (int i = 0; i < 100; ++i)
        rig.socket.deliver("x");
    // Nothing may happen past the deadline to a session that has ended.
    QCOMPARE(rig.deadline().fire(), !results.isEmpty());
    QCOMPARE(rig.values.SessionStep, SessionStep::Quit);
    QCOMPARE(rig.report.results(), results);
    QVERIFY(rig.socket.closed);
    QVERIFY(!rig.session.isRunning());
    QVERIFY(!rig.session.watchdogActive());
    QVERIFY(rig.box.shown.isEmpty());
}

void TestSessionBounds::replyLineCountIsCapped()
{
    ReplyReader reader;
    ReplyReader::Reply reply;
    reader.append("+OK\r\n" + QByteArray("\r\n").repeated(kMaxReplyLines) + ".\r\n");
    QCOMPARE(reader.take(ReplyReader::Kind::MultiLine, reply), ReplyReader::Result::Complete);
    QCOMPARE(reply.lines.size(), kMaxReplyLines);

    reader.reset();
    reader.append("+OK\r\n" + QByteArray("\r\n").repeated(kMaxReplyLines + 1));
    QCOMPARE(reader.take(ReplyReader::Kind::MultiLine, reply), ReplyReader::Result::Incomplete);
    // Far below the byte cap, yet the bookkeeping of the lines is what is counted.
    QVERIFY(reader.heldBytes() < 16 * 1024 * 1024);
    reader.append(".\r\n");
    QCOMPARE(reader.take(ReplyReader::Kind::MultiLine, reply), ReplyReader::Result::Dropped);
}

void TestSessionBounds::trafficLogCapsSizeAndViewFollows()
{
    TrafficLog log(1000, 1000);
    QString view; // what a view that follows the signals shows
    connect(&log, &TrafficLog::cleared, this, [&view] { view.clear(); });
    connect(&log, &TrafficLog::appended, this, [&view](const QString &t) { view += t; });

    for (int i = 0; i < 100; ++i) {
        log.append(QStringLiteral("line %1 ").arg(i) + QString(40, u'a') + QStringLiteral("\r\n"));
        QVERIFY(log.text().size() <= 1250);
        QCOMPARE(view, log.text());
    }
    // Whole lines are dropped while a line starts in the part kept.
    QVERIFY(log.text().startsWith(QStringLiteral("line ")));
    QVERIFY(log.text().endsWith(QStringLiteral("line 99 ") + QString(40, u'a') +
                                QStringLiteral("\r\n")));

    // One line longer than the cap loses its front, and never half a character.
    log.clear();
    const QString clef = QStringLiteral("\U0001D11E");
    for (int i = 0; i < 1000; ++i)
        log.append(QStringLiteral("x") + clef);
    QVERIFY(log.text().size() <= 1250);
    QVERIFY(!log.text().front().isLowSurrogate());
    QCOMPARE(view, log.text());
}

void TestSessionBounds::resultViewCapsSizeAndViewFollows()
{
    SessionRig rig;
    QString view;
    connect(&rig.report, &SessionReport::resultsReplaced, this,
            [&view](const QString &t) { view = t; });
    connect(&rig.report, &SessionReport::resultsAppended, this,
            [&view](const QString &t) { view += t; });
    // A mailbox far larger than the result view keeps: every header is listed, the oldest
    // lines go.
    const int count = 20000;
    rig.start();
    QCOMPARE(rig.socket.play(opening("+OK 20000 0") + QList<QByteArray>{"C: TOP 20000 1"}),
             QString());
    const QByteArray top = "+OK\r\nFrom: someone@example.jp\r\nSubject: " + QByteArray(60, 's') +
                           "\r\nDate: Sat, 25 Sep 2004 09:00:00 +0900\r\n\r\n.\r\n";
    qsizetype peak = 0;
    for (int i = 0; i < count && !rig.socket.closed; ++i) {
        rig.socket.deliver(top);
        peak = std::max(peak, rig.report.results().size());
    }
    QCOMPARE(rig.values.MailNo, qint64(0));
    QVERIFY2(peak <= SessionReport::kMaxResultChars * 5 / 4, qPrintable(QString::number(peak)));
    QCOMPARE(view, rig.report.results());
    // Whole lines were dropped.
    QVERIFY(rig.report.results().startsWith(QStringLiteral("No:")) ||
            rig.report.results().startsWith(QStringLiteral("     件名:")));
    QVERIFY(rig.report.results().contains(QStringLiteral("No: 0 ")));
}

QTEST_GUILESS_MAIN(TestSessionBounds)
#include "tst_session_bounds.moc"
