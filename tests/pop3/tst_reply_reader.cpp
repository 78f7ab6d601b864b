#include "pop3_errors.h"
#include "reply_reader.h"
#include "traffic_log.h"

#include <QTest>

using namespace ringlark;
using Kind = ReplyReader::Kind;
using Result = ReplyReader::Result;

class TestReplyReader : public QObject
{
    Q_OBJECT
private slots:
    void statusLines_data();
    void statusLines();
    void multiLineEndsOnlyAtDotLine();
    void negativeMultiLineIsOneLine();
    void severalRepliesInOneChunk();
    void resetDropsPartialReply();
    void capsLineAndReply();
    void trafficLogDropsOldestLines();
};

void TestReplyReader::statusLines_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("positive");
    QTest::addColumn<bool>("negative");
    QTest::newRow("+OK text") << QByteArray("+OK Dovecot ready.\r\n") << true << false;
    QTest::newRow("bare +OK CRLF") << QByteArray("+OK\r\n") << true << false;
    QTest::newRow("bare +OK LF") << QByteArray("+OK\n") << true << false;
    QTest::newRow("+OKAY") << QByteArray("+OKAY\r\n") << false << false;
    QTest::newRow("lower case") << QByteArray("+ok fine\r\n") << false << false;
    QTest::newRow("-ERR") << QByteArray("-ERR Noise after size\r\n") << false << true;
    QTest::newRow("garbage") << QByteArray("* OK IMAP here\r\n") << false << false;
}

void TestReplyReader::statusLines()
{
    QFETCH(QByteArray, line);
    ReplyReader reader;
    ReplyReader::Reply reply;
    // Split inside the status word, as a TCP chunk may.
    reader.append(line.left(2));
    QCOMPARE(reader.take(Kind::SingleLine, reply), Result::Incomplete);
    reader.append(line.mid(2));
    QCOMPARE(reader.take(Kind::SingleLine, reply), Result::Complete);
    QTEST(reply.positive(), "positive");
    QTEST(reply.negative(), "negative");
    QVERIFY(!reader.holdsData());
}

void TestReplyReader::multiLineEndsOnlyAtDotLine()
{
    ReplyReader reader;
    ReplyReader::Reply reply;
    reader.append("+OK\r\nSubject: Please dial now.\r\nFrom: a@b.c.\r\n");
    QCOMPARE(reader.take(Kind::MultiLine, reply), Result::Incomplete);
    // A body line of "." is sent stuffed as ".."; ".hidden" as "..hidden". Bare LF too.
    reader.append("\r\n..\r\n..hidden\n.");
    QCOMPARE(reader.take(Kind::MultiLine, reply), Result::Incomplete);
    reader.append("\r");
    QCOMPARE(reader.take(Kind::MultiLine, reply), Result::Incomplete);
    reader.append("\n");
    QCOMPARE(reader.take(Kind::MultiLine, reply), Result::Complete);
    QCOMPARE(reply.status, QByteArray("+OK"));
    const QList<QByteArray> expected{"Subject: Please dial now.", "From: a@b.c.", "", ".",
                                     ".hidden"};
    QCOMPARE(reply.lines, expected);
}

void TestReplyReader::negativeMultiLineIsOneLine()
{
    ReplyReader reader;
    ReplyReader::Reply reply;
    reader.append("-ERR There's no message 9.\r\n+OK\r\n");
    QCOMPARE(reader.take(Kind::MultiLine, reply), Result::Complete);
    QVERIFY(reply.negative());
    QVERIFY(reply.lines.isEmpty());
    QVERIFY(reader.holdsData());
}

void TestReplyReader::severalRepliesInOneChunk()
{
    ReplyReader reader;
    ReplyReader::Reply reply;
    reader.append("+OK 2 300\r\n+OK\r\nA: 1\r\n.\r\n+OK bye\r\n");
    QCOMPARE(reader.take(Kind::SingleLine, reply), Result::Complete);
    QCOMPARE(reply.status, QByteArray("+OK 2 300"));
    QCOMPARE(reader.take(Kind::MultiLine, reply), Result::Complete);
    QCOMPARE(reply.lines, QList<QByteArray>{"A: 1"});
    QCOMPARE(reader.take(Kind::SingleLine, reply), Result::Complete);
    QCOMPARE(reply.status, QByteArray("+OK bye"));
    QVERIFY(!reader.holdsData());
}

void TestReplyReader::resetDropsPartialReply()
{
    ReplyReader reader;
    ReplyReader::Reply reply;
    reader.append("+OK\r\nFrom: half a hea");
    QCOMPARE(reader.take(Kind::MultiLine, reply), Result::Incomplete);
    reader.reset();
    QVERIFY(!reader.holdsData());
    reader.append("+OK Dovecot ready.\r\n");
    QCOMPARE(reader.take(Kind::SingleLine, reply), Result::Complete);
    QCOMPARE(reply.status, QByteArray("+OK Dovecot ready."));
}

void TestReplyReader::capsLineAndReply()
{
    ReplyReader reader;
    ReplyReader::Reply reply;
    const QByteArray chunk(64 * 1024, 'x');
    Result r = Result::Incomplete;
    for (qsizetype sent = 0; sent <= kMaxLineBytes && r == Result::Incomplete;
         sent += chunk.size()) {
        reader.append(chunk);
        r = reader.take(Kind::SingleLine, reply);
    }
    QCOMPARE(r, Result::TooLarge);

    reader.reset();
    reader.append("+OK\r\n");
    const QByteArray line = "X-Filler: " + QByteArray(1000, 'y') + "\r\n";
    // Past the byte cap, a long line, then the end: read on, held no more, and dropped
    // whole with its Date line and size.
    reader.append("Date: Sat, 25 Sep 2004 09:00:00 +0900\r\n");
    for (qsizetype sent = 0; sent <= kMaxReplyBytes + line.size(); sent += 64 * line.size()) {
        reader.append(line.repeated(64));
        QCOMPARE(reader.take(Kind::MultiLine, reply), Result::Incomplete);
    }
    reader.append(QByteArray(kMaxLineBytes + 10, 'z'));
    QCOMPARE(reader.take(Kind::MultiLine, reply), Result::Incomplete);
    QVERIFY(reader.heldBytes() < 4 * kMaxLineBytes);
    reader.append("\r\n.\r\n+OK next\r\n");
    QCOMPARE(reader.take(Kind::MultiLine, reply), Result::Dropped);
    QCOMPARE(reply.lines, QList<QByteArray>{"Date: Sat, 25 Sep 2004 09:00:00 +0900"});
    QCOMPARE(reply.bytes, reader.takenBytes());
    QCOMPARE(reader.take(Kind::SingleLine, reply), Result::Complete);
    QCOMPARE(reply.status, QByteArray("+OK next"));
}

void TestReplyReader::trafficLogDropsOldestLines()
{
    TrafficLog log(100);
    QString seen;
    connect(&log, &TrafficLog::appended, this, [&](const QString &t) { seen += t; });
    for (int i = 0; i < 1000; ++i)
        log.append(QStringLiteral("line %1\r\n").arg(i));
    QVERIFY(log.text().count(u'\n') <= 125);
    QVERIFY(log.text().startsWith(QStringLiteral("line ")));
    QVERIFY(log.text().endsWith(QStringLiteral("line 999\r\n")));
    QCOMPARE(seen.count(u'\n'), 1000); // every chunk went out to the view once
    log.clear();
    QVERIFY(log.text().isEmpty());
}

QTEST_GUILESS_MAIN(TestReplyReader)
#include "tst_reply_reader.moc"
