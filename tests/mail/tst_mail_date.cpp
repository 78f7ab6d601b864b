#include "date_text.h"
#include "mail_date.h"

#include <QRandomGenerator>
#include <QTest>

using namespace ringlark;

using Texts = std::initializer_list<std::pair<const char *, const char *>>; // name, text

class TestMailDate : public QObject
{
    Q_OBJECT

private slots:
    void readsDates_data();
    void readsDates();
    void survivesMangledInput();
};

void TestMailDate::readsDates_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected"); // empty: not a date
    QTest::addColumn<bool>("stored");      // LASTDATE's stored form, not a mail's Date

    auto row = [](const char *name, const char *text, const char *expected) {
        QTest::newRow(name) << QString::fromUtf8(text) << QString::fromUtf8(expected) << false;
    };
    auto stored = [](const char *name, const char *text, const char *expected) {
        QTest::addRow("LASTDATE %s", name) << QString::fromUtf8(text)
                                           << QString::fromUtf8(expected) << true;
    };
    // Forms of one time, each read as written: the zone never moves it.
    for (const auto &[name, text] : Texts{
             {"weekday", "Sat, 25 Sep 2004 09:00:00 +0900"},
             {"no weekday", "25 Sep 2004 09:00:00 +0900"},
             {"zone comment", "Sat, 25 Sep 2004 09:00:00 +0900 (JST)"},
             {"nested comment", "Sat, 25 Sep 2004 09:00:00 +0900 (Japan (Tokyo\\) time))"},
             {"military zone", "25 Sep 2004 09:00:00 Z"},
             {"zone and name", "Sat, 25 Sep 2004 09:00:00 +0900 JST"},
             {"no zone", "Sat, 25 Sep 2004 09:00:00"},
             {"blanks everywhere", "  Sat ,  25\tSep   2004   09 : 00 : 00   +0900  "},
             {"no blank after comma", "Sat,25 Sep 2004 09:00:00 +0900"},
             {"weekday without comma", "Sat 25 Sep 2004 09:00:00 +0900"},
             {"full names", "Saturday, 25 September 2004 09:00:00 +0900"},
             {"small letters", "sat, 25 sep 2004 09:00:00 +0900"},
             {"dashed date", "25-Sep-2004 09:00:00 +0900"},
             {"C library form", "Sat Sep 25 09:00:00 2004"},
             {"month first, year before time", "Sep 25 2004 09:00:00"},
             {"ISO form", "2004-09-25 09:00:00"},
         })
        row(name, text, "2004/09/25 09:00:00");
    row("no seconds, comment", "Tue, 1 Jul 2003 10:52 -0700 (PDT)", "2003/07/01 10:52:00");
    row("zone would cross midnight", "Sat, 25 Sep 2004 23:30:00 -1200", "2004/09/25 23:30:00");
    row("in a European DST gap", "Sun, 29 Mar 2020 02:30:00 +0100", "2020/03/29 02:30:00");
    row("comment inside the time", "Fri, 21 Nov 1997 09(comment):55:06 -0600",
        "1997/11/21 09:55:06");
    row("zone name", "Mon, 3 Feb 1997 08:05:01 EST", "1997/02/03 08:05:01");
    row("two-digit year, 1900s", "Mon, 3 Feb 97 08:05:01 GMT", "1997/02/03 08:05:01");
    row("two-digit year, 2000s", "Mon, 3 Feb 03 08:05:01 GMT", "2003/02/03 08:05:01");
    row("three-digit year", "Fri, 21 Nov 103 09:55:06 -0600", "2003/11/21 09:55:06");
    row("folded",
        "Thu,\r\n      13\r\n        Feb\r\n          1969\r\n      23:32\r\n"
        "               -0330 (Newfoundland Time)",
        "1969/02/13 23:32:00");
    row("Sept and Thurs", "Thurs, 2 Sept 2004 9:05:00 +0900", "2004/09/02 09:05:00");
    row("leap second", "31 Dec 2016 23:59:60 +0000", "2016/12/31 23:59:59");
    row("29 February", "29 Feb 2004 00:00:00 +0900", "2004/02/29 00:00:00");

    // Not dates at all, and dates that cannot be.
    for (const auto &[name, text] : Texts{
             {"empty", ""},
             {"the old fallback text", "DATE:NONE"},
             {"words", "yesterday, around noon"},
             {"no time", "Sat, 25 Sep 2004"},
             {"31 February", "Sat, 31 Feb 2004 09:00:00 +0900"},
             {"29 February, no leap year", "29 Feb 2003 09:00:00 +0900"},
             {"day 0", "0 Sep 2004 09:00:00"},
             {"hour 24", "25 Sep 2004 24:00:00"},
             {"minute 60", "25 Sep 2004 09:60:00"},
             {"hour alone", "25 Sep 2004 9 +0900"},
             {"unknown month", "25 Foo 2004 09:00:00"},
             {"two-letter month", "25 Se 2004 09:00:00"},
             {"five-digit year", "25 Sep 20041 09:00:00"},
             {"full-width digits", "２５ Sep ２００４ ０９:００:００"},
             {"all in a comment", "(Sat, 25 Sep 2004 09:00:00 +0900)"},
             {"comment not closed", "Sat, 25 Sep 2004 (09:00:00 +0900"},
             {"negative numbers", "-25 Sep -2004 -9:-5:00"},
         })
        row(name, text, "");
    row("too long", (std::string("25 Sep 2004 09:00:00 ") + std::string(3000, ' ')).c_str(), "");

    stored("written form", "2003/04/01 00:00:00", "2003/04/01 00:00:00");
    stored("round trip", "2026/12/07 04:05:06", "2026/12/07 04:05:06");
    stored("single-digit hour", "2004/09/25 9:00:00", "2004/09/25 09:00:00");
    stored("single-digit month and day", "2004/9/5 9:00:00", "2004/09/05 09:00:00");
    stored("date alone is midnight", "2004/09/25", "2004/09/25 00:00:00");
    stored("no seconds", "2004/09/25 21:05", "2004/09/25 21:05:00");
    // A night that a daylight-saving zone skips must still be the time as written.
    stored("no zone shift", "2021/03/28 02:30:00", "2021/03/28 02:30:00");
    stored("not a date", "yesterday", "");
    stored("impossible day", "2004/02/30 00:00:00", "");
    stored("empty", "", "");
}

void TestMailDate::readsDates()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QFETCH(bool, stored);

    const std::optional<QDateTime> date = stored ? readDateText(text) : parseMailDate(text);
    if (expected.isEmpty()) {
        QVERIFY2(!date, qPrintable(date ? dateText(*date) : QString()));
        return;
    }
    QVERIFY(date);
    QCOMPARE(dateText(*date), expected);
    QCOMPARE(date->timeSpec(), Qt::UTC);
    // Whatever was read is stored as text and read back as the same time.
    QCOMPARE(readDateText(dateText(*date)), date);
}

// Truncations and random damage of real dates: never a crash or an invalid result.
void TestMailDate::survivesMangledInput()
{
    const QStringList seeds{
        QStringLiteral("Sat, 25 Sep 2004 09:00:00 +0900 (JST)"),
        QStringLiteral("Thu,\r\n 13\r\n Feb\r\n 1969\r\n 23:32 -0330 (Newfoundland (x) Time)"),
        QStringLiteral("Sat Sep 25 09:00:00 2004"),
        QStringLiteral("2004-09-25 09:00:00"),
    };
    const QString alphabet = QStringLiteral("0123456789:,-+()\\ \t\r\nSepMonJST/.９");
    QRandomGenerator random(20040925);
    int read = 0;
    for (const QString &seed : seeds) {
        for (qsizetype n = 0; n <= seed.size(); ++n) {
            for (int round = 0; round < 20; ++round) {
                QString text = seed.left(n);
                for (int k = random.bounded(4); k > 0 && !text.isEmpty(); --k)
                    text[random.bounded(text.size())] =
                        alphabet.at(random.bounded(alphabet.size()));
                const std::optional<QDateTime> date = parseMailDate(text);
                if (date) {
                    QVERIFY2(date->isValid(), qPrintable(text));
                    ++read;
                }
            }
        }
    }
    QVERIFY(read > 0); // the damage left some dates readable
}

QTEST_GUILESS_MAIN(TestMailDate)
#include "tst_mail_date.moc"
