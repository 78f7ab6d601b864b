#include "imap_reader.h"
#include "pop3_errors.h"

#include <QTest>

using namespace ringlark;

// The IMAP response reader: responses with literals split at every byte, and the caps that
// bound a hostile server.
class TestImapReader : public QObject
{
    Q_OBJECT
private slots:
    void splitAnywhere_data();
    void splitAnywhere();
    void hostile_data();
    void hostile();
};

using Texts = QList<QByteArray>;

void TestImapReader::splitAnywhere_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<Texts>("texts");    // each response's text
    QTest::addColumn<Texts>("literals"); // every literal, in order
    QTest::newRow("tagged and untagged")
        << QByteArray("* OK [UIDVALIDITY 3857529045] UIDs valid\r\n* 3 EXISTS\r\nA4 OK done\r\n")
        << Texts{"* OK [UIDVALIDITY 3857529045] UIDs valid", "* 3 EXISTS", "A4 OK done"}
        << Texts{};
    QTest::newRow("literal holding line ends and braces")
        << QByteArray("* 2 FETCH (UID 7 BODY[HEADER] {19}\r\nFrom: a\r\n{3}\r\nx\r\n\r\n)\r\n+ idling\r\n")
        << Texts{"* 2 FETCH (UID 7 BODY[HEADER] {19})", "+ idling"}
        << Texts{"From: a\r\n{3}\r\nx\r\n\r\n"};
    QTest::newRow("two literals, LITERAL+, empty literal, bare LF")
        << QByteArray("* 1 FETCH (BODY[HEADER] {2+}\r\nab BODY[TEXT] {0}\r\n)\nA1 BYE\r\n")
        << Texts{"* 1 FETCH (BODY[HEADER] {2+} BODY[TEXT] {0})", "A1 BYE"} << Texts{"ab", ""};
}

void TestImapReader::splitAnywhere()
{
    QFETCH(QByteArray, stream);
    QFETCH(Texts, texts);
    QFETCH(Texts, literals);
    for (qsizetype cut = 0; cut <= stream.size(); ++cut) {
        ImapReader reader;
        Texts gotTexts;
        Texts gotLiterals;
        for (const QByteArray &chunk : {stream.left(cut), stream.mid(cut)}) {
            reader.append(chunk);
            ImapReader::Response r;
            while (reader.take(r) == ImapReader::Result::Complete) {
                gotTexts.append(r.text);
                gotLiterals += r.literals;
            }
        }
        QCOMPARE(gotTexts, texts);
        QCOMPARE(gotLiterals, literals);
        QVERIFY(!reader.holdsData());
        QCOMPARE(reader.takenBytes(), stream.size());
    }
}

void TestImapReader::hostile_data()
{
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<QByteArray>("drip"); // sent again and again
    QTest::addColumn<bool>("tooLarge");   // or held below the caps, waiting
    const QByteArray fetch = "* 1 FETCH (BODY[HEADER] ";
    QTest::newRow("huge literal count") << fetch + "{99999999999999999}\r\n" << QByteArray() << true;
    QTest::newRow("literal past the cap") << fetch + "{8388608}\r\n" << QByteArray() << true;
    QTest::newRow("endless line") << QByteArray("* OK ") << QByteArray(64 * 1024, 'x') << true;
    QTest::newRow("endless literal") << fetch + "{8000000}\r\n" << QByteArray(64 * 1024, 'y') << false;
    QTest::newRow("literals without end") << fetch << QByteArray("{0}\r\n").repeated(1000) << true;
    QTest::newRow("garbage") << QByteArray() << QByteArray("\x01\xff(\")]{x}\r\n") << false;
}

void TestImapReader::hostile()
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

QTEST_GUILESS_MAIN(TestImapReader)
#include "tst_imap_reader.moc"
