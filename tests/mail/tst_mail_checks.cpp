#include "auth_results.h"
#include "base32.h"
#include "encoded_words.h"
#include "mail_checks.h"
#include "mail_header.h"
#include "recognition.h"
#include "text_fold.h"
#include "totp.h"
#include "trigger_checks.h"

#include <QTest>

using namespace ringlark;

namespace {

// The secret of the SHA-1 rows of RFC 6238's test vectors.
const QByteArray rfcKey = "12345678901234567890";

QDateTime utc(qint64 secondsSinceEpoch)
{
    return QDateTime::fromSecsSinceEpoch(secondsSinceEpoch, Qt::UTC);
}

QList<QByteArray> headerLines(const QByteArray &text)
{
    return text.split('\n');
}

} // namespace

class TestMailChecks : public QObject
{
    Q_OBJECT
private slots:
    void base32RoundTrip_data();
    void base32RoundTrip();
    void base32Refuses();
    void rfcVectors_data();
    void rfcVectors();
    void window_data();
    void window();
    void mailInstant_data();
    void mailInstant();
    void authenticationResults_data();
    void authenticationResults();
    void senderTest_data();
    void senderTest();
    void examination_data();
    void examination();
    void encodedWords_data();
    void encodedWords();
    void folding_data();
    void folding();
    void checkKeys_data();
    void checkKeys();
};

// RFC 4648's own vectors: encoded without padding, read back with or without it, in either case.
void TestMailChecks::base32RoundTrip_data()
{
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<QString>("padded");
    // clang-format off
    const std::pair<const char *, const char *> rows[] = {
        {"", ""}, {"f", "MY======"}, {"fo", "MZXQ===="}, {"foo", "MZXW6==="},
        {"foob", "MZXW6YQ="}, {"fooba", "MZXW6YTB"}, {"foobar", "MZXW6YTBOI======"}};
    // clang-format on
    for (const auto &[raw, padded] : rows)
        QTest::newRow(raw) << QByteArray(raw) << QString::fromLatin1(padded);
}

void TestMailChecks::base32RoundTrip()
{
    QFETCH(QByteArray, raw);
    QFETCH(QString, padded);
    const QString bare = QString(padded).remove(QLatin1Char('='));
    QCOMPARE(base32Encode(raw), bare);
    QCOMPARE(base32Decode(padded), raw);
    QCOMPARE(base32Decode(bare.toLower()), raw);
}

void TestMailChecks::base32Refuses()
{
    for (const char *bad : {"MZXW6YT1", "M", "MZX", "MZ=XW6", "MZXW6YTB!"})
        QVERIFY2(!base32Decode(QString::fromLatin1(bad)), bad);
    // Groups of four as apps show them read as the secret itself.
    QCOMPARE(base32Decode(u"MZXW 6YTB OI"), QByteArray("foobar"));
}

// The last six digits of RFC 6238's eight-digit SHA-1 codes are the six-digit codes.
void TestMailChecks::rfcVectors_data()
{
    QTest::addColumn<qint64>("time");
    QTest::addColumn<QString>("code");
    const std::pair<qint64, const char *> rows[] = {
        {59, "94287082"},         {1111111109, "07081804"}, {1111111111, "14050471"},
        {1234567890, "89005924"}, {2000000000, "69279037"}, {20000000000, "65353130"}};
    for (const auto &[time, code] : rows)
        QTest::newRow(code) << time << QString::fromLatin1(code).right(6);
}

void TestMailChecks::rfcVectors()
{
    QFETCH(qint64, time);
    QFETCH(QString, code);
    QCOMPARE(totpCode(rfcKey, totpStep(utc(time))), code);
    const QString subject = QStringLiteral("wakeup ") + code;
    QCOMPARE(acceptedStep(rfcKey, sixDigitRuns(subject), utc(time)), totpStep(utc(time)));
}

// A code made `stepsFromDate` steps away from the mail's date, written into `subject` at %1,
// in full-width digits where `wide`.
void TestMailChecks::window_data()
{
    QTest::addColumn<int>("stepsFromDate");
    QTest::addColumn<QString>("subject");
    QTest::addColumn<bool>("wide");
    QTest::addColumn<bool>("accepted");
    const QString plain = QStringLiteral("wakeup %1");
    QTest::newRow("same step") << 0 << plain << false << true;
    QTest::newRow("10 steps before") << -10 << plain << false << true;
    QTest::newRow("11 steps before") << -11 << plain << false << false;
    QTest::newRow("2 steps after") << 2 << plain << false << true;
    QTest::newRow("3 steps after") << 3 << plain << false << false;
    QTest::newRow("among other numbers") << -1 << "12345 %1 2026/12/07" << false << true;
    QTest::newRow("inside a longer number") << 0 << "9%1" << false << false;
    QTest::newRow("glued to letters") << 0 << "code:%1!" << false << true;
    QTest::newRow("full width, folded") << 0 << "ｺｰﾄﾞ　%1" << true << true;
    QTest::newRow("no code") << 0 << "wakeup" << false << false;
}

void TestMailChecks::window()
{
    QFETCH(int, stepsFromDate);
    QFETCH(QString, subject);
    QFETCH(bool, wide);
    QFETCH(bool, accepted);
    const QDateTime date = utc(1'796'000'017);
    const qint64 step = totpStep(date) + stepsFromDate;
    QString code = totpCode(rfcKey, step);
    if (wide)
        for (QChar &c : code)
            c = QChar(c.unicode() - u'0' + u'\uff10');
    const QStringList codes = sixDigitRuns(foldForComparison(subject.arg(code)));
    QCOMPARE(acceptedStep(rfcKey, codes, date), accepted ? std::optional(step) : std::nullopt);
    // Without a secret no code is right.
    QVERIFY(!acceptedStep(QByteArray(), codes, date));
}

void TestMailChecks::mailInstant_data()
{
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("instant"); // ISO, UTC; empty: unreadable
    QTest::newRow("east") << "Mon, 07 Dec 2026 22:30:00 +0900"
                          << "2026-12-07T13:30:00Z";
    QTest::newRow("west, comment") << "7 Dec 2026 08:30 -0500 (EST)"
                                   << "2026-12-07T13:30:00Z";
    QTest::newRow("name") << "Mon, 7 Dec 2026 05:30:00 PST"
                          << "2026-12-07T13:30:00Z";
    QTest::newRow("JST after a comment") << "Mon,7 Dec 2026 22:30:00 (x) JST"
                                         << "2026-12-07T13:30:00Z";
    QTest::newRow("over midnight") << "Tue, 8 Dec 2026 01:00:00 +1130"
                                   << "2026-12-07T13:30:00Z";
    QTest::newRow("no zone: the machine's (Tokyo)") << "Mon Dec  7 22:30:00 2026"
                                                   << "2026-12-07T13:30:00Z";
    QTest::newRow("obsolete blanks around the colons")
        << "7 Dec 2026 08 : 30 : 00 -0500" << "2026-12-07T13:30:00Z";
    QTest::newRow("no date") << "soon"
                             << "";
}

void TestMailChecks::mailInstant()
{
    QFETCH(QString, date);
    QFETCH(QString, instant);
    const std::optional<QDateTime> read = ringlark::mailInstant(date);
    QCOMPARE(read.has_value(), !instant.isEmpty());
    if (read)
        QCOMPARE(read->toUTC().toString(Qt::ISODate), instant);
}

// Headers in the shapes real providers write them; the provider here is "mx.example.net".
void TestMailChecks::authenticationResults_data()
{
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<bool>("passes");
    QTest::addColumn<QString>("ids");
    const QByteArray from = "From: Owner <owner@mail.example.com>\n";
    QTest::newRow("gmail shape, folded, comments")
        << "Authentication-Results: mx.example.net;\n"
           "       dkim=pass header.i=@mail.example.com header.s=20230601 header.b=KgJ4/+ab;\n"
           "       spf=pass (example.net: domain of owner@mail.example.com designates 192.0.2.1 "
           "as permitted sender) smtp.mailfrom=owner@mail.example.com;\n"
           "       dmarc=pass (p=NONE sp=NONE dis=NONE) header.from=mail.example.com\n" +
               from
        << true << "mx.example.net";
    QTest::newRow("dkim of a parent domain, version")
        << "Authentication-Results: MX.Example.NET 1; dkim=pass header.d=example.com\n" + from
        << true << "MX.Example.NET";
    QTest::newRow("yahoo shape: comment glued, trailing ;")
        << "Authentication-Results: mx.example.net;\n dkim=perm_fail;\n spf=pass "
           "smtp.mailfrom=example.com;\n dmarc=pass(p=REJECT) header.from=mail.example.com;\n" +
               from
        << true << "mx.example.net";
    QTest::newRow("fastmail shape: quoted, spaces around =")
        << "Authentication-Results: mx.example.net;\n    dkim = pass (2048-bit rsa key sha256) "
           "header.d=\"example.com\" header.a=rsa-sha256 x-bits=2048\n" +
               from
        << true << "mx.example.net";
    QTest::newRow("signature of an unrelated domain")
        << "Authentication-Results: mx.example.net; dkim=pass header.d=mailer.example.org;"
           " dmarc=none header.from=mail.example.com\n" +
               from
        << false << "mx.example.net";
    QTest::newRow("a name that only ends alike")
        << "Authentication-Results: mx.example.net; dkim=pass header.d=ample.com\n" + from << false
        << "mx.example.net";
    QTest::newRow("signer only in a comment")
        << "Authentication-Results: mx.example.net; dkim=pass (header.d=example.com) "
           "header.d=example.org\n" +
               from
        << false << "mx.example.net";
    QTest::newRow("dmarc for another From")
        << "Authentication-Results: mx.example.net; dmarc=pass header.from=example.org\n" + from
        << false << "mx.example.net";
    QTest::newRow("forged pass below the provider's fail")
        << "Authentication-Results: mx.example.net; dkim=fail header.d=example.com;"
           " dmarc=fail header.from=mail.example.com\n"
           "Received: from attacker.example.org\n"
           "Authentication-Results: mx.example.net; dmarc=pass header.from=mail.example.com\n" +
               from
        << false << "mx.example.net";
    QTest::newRow("pass by another server only")
        << "Authentication-Results: relay.example.org; dmarc=pass header.from=mail.example.com\n"
           "Authentication-Results: mx.example.net; none\n" +
               from
        << false << "relay.example.org,mx.example.net";
    QTest::newRow("microsoft shape names no server")
        << "Authentication-Results: spf=pass (sender IP is 192.0.2.1)\n smtp.mailfrom=example.com;"
           " dkim=pass\n (signature was verified) header.d=example.com;dmarc=pass action=none\n"
           " header.from=mail.example.com;compauth=pass reason=100\n" +
               from
        << false << "";
    QTest::newRow("dkim of a public suffix")
        << QByteArray("Authentication-Results: mx.example.net; dkim=pass header.d=co.jp\n"
                      "From: <owner@mail.example.co.jp>\n")
        << false << "mx.example.net";
    QTest::newRow("dkim of a sibling: the same organisation")
        << "Authentication-Results: mx.example.net; dkim=pass header.d=news.example.com\n" + from
        << true << "mx.example.net";
    QTest::newRow("dmarc naming no From")
        << "Authentication-Results: mx.example.net; dmarc=pass\n" + from << false
        << "mx.example.net";
    QTest::newRow("blanks before the colon")
        << "Authentication-Results : mx.example.net; dmarc=pass header.from=mail.example.com\n" +
               from
        << false << "";
    QTest::newRow("no field") << from << false << "";
}

void TestMailChecks::authenticationResults()
{
    QFETCH(QByteArray, header);
    QFETCH(bool, passes);
    QFETCH(QString, ids);
    const QList<HeaderField> fields = headerFields(headerLines(header));
    QCOMPARE(senderAuthenticated(fields, QStringLiteral("mx.example.net")), passes);
    QCOMPARE(authservIds(fields).join(QLatin1Char(',')), ids);
}

// The sender test, as written today and while the provider's verdict is required.
void TestMailChecks::senderTest_data()
{
    QTest::addColumn<QString>("setting");
    QTest::addColumn<QString>("from");
    QTest::addColumn<bool>("today");
    QTest::addColumn<bool>("withVerdict");
    QTest::newRow("the address") << "owner@example.com"
                                 << "Owner <OWNER@example.com>" << true << true;
    QTest::newRow("address only in the name")
        << "owner@example.com"
        << "\"owner@example.com\" <x@example.org>" << true << false;
    QTest::newRow("a longer address") << "owner@example.com"
                                      << "<evilowner@example.com>" << true << false;
    QTest::newRow("encoded name") << "山田"
                                  << "=?UTF-8?B?5bGx55Sw5aSq6YOO?= <t@example.jp>" << true << false;
}

void TestMailChecks::senderTest()
{
    QFETCH(QString, setting);
    QFETCH(QString, from);
    QFETCH(bool, today);
    QFETCH(bool, withVerdict);
    QCOMPARE(senderMatches(setting, from, false), today);
    QCOMPARE(senderMatches(setting, from, true), withVerdict);
}

// A mail that passes the sender and subject tests, through the checks, as the walk sees it.
// The owner's trigger was written at 2026-12-01 01:00 UTC; LastDate is the day before.
void TestMailChecks::examination_data()
{
    QTest::addColumn<QByteArray>("date");
    QTest::addColumn<int>("codeSteps"); // the code's step, from the owner's instant
    QTest::addColumn<QByteArray>("results");
    QTest::addColumn<bool>("replay"); // the owner's code was acted on already
    QTest::addColumn<int>("verdict");
    QTest::addColumn<QByteArray>("more");  // more subject text after the code
    QTest::addColumn<int>("clockMinutes"); // the machine's clock, from the mail's Date
    const QByteArray date = "Tue, 1 Dec 2026 10:00:00 +0900";
    const QByteArray pass = "mx.example.net; dkim=pass header.d=example.com";
    const auto go = static_cast<int>(Verdict::GoOn);
    const auto found = static_cast<int>(Verdict::TriggerFound);
    QTest::newRow("genuine") << date << 0 << pass << false << found << QByteArray() << 0;
    QTest::newRow("old code") << date << -11 << pass << false << go << QByteArray() << 0;
    QTest::newRow("unverified") << date << 0 << QByteArray("mx.example.net; dkim=fail") << false
                                << go << QByteArray() << 0;
    // A replay fails the code check: logged, and the walk goes on.
    QTest::newRow("replay in another zone") << QByteArray("Tue, 1 Dec 2026 12:00:00 +1100") << 0
                                            << pass << true << go << QByteArray() << 0;
    QTest::newRow("two codes are two guesses")
        << date << 0 << pass << false << go << QByteArray(" 000000") << 0;
    QTest::newRow("a longer number is no code") << date << 0 << pass << false << found
                                                << QByteArray(" 1234567") << 0;
    QTest::newRow("dated 10 minutes ahead of the clock") << date << 0 << pass << false << found
                                                         << QByteArray() << -10;
    QTest::newRow("dated 11 minutes ahead") << date << 0 << pass << false << go << QByteArray()
                                            << -11;
    QTest::newRow("dated an hour behind") << date << 0 << pass << false << found << QByteArray()
                                          << 60;
    QTest::newRow("at or before LastDate: no checks, never reported")
        << QByteArray("Mon, 30 Nov 2026 09:00:00 +0900") << -11 << pass << false
        << static_cast<int>(Verdict::CloseNow) << QByteArray() << 0;
    QTest::newRow("dated 61 minutes behind") << date << 0 << pass << false << go << QByteArray()
                                             << 61;
}

void TestMailChecks::examination()
{
    QFETCH(QByteArray, date);
    QFETCH(int, codeSteps);
    QFETCH(QByteArray, results);
    QFETCH(bool, replay);
    QFETCH(int, verdict);
    QFETCH(QByteArray, more);
    QFETCH(int, clockMinutes);
    const QDateTime written(QDate(2026, 12, 1), QTime(1, 0), Qt::UTC);
    const qint64 owners = totpStep(written);
    const QByteArray code = totpCode(rfcKey, owners + codeSteps).toLatin1() + more;
    const QList<QByteArray> lines = headerLines("Authentication-Results: " + results +
                                                "\nFrom: Owner <owner@example.com>\n"
                                                "Subject: =?UTF-8?B?77yy77yp77yu77yn?= " +
                                                code + "\nDate: " + date + "\n");

    RecognitionRules rules;
    rules.fromCheck = rules.subjectCheck = true;
    rules.fromText = QStringLiteral("owner@example.com");
    rules.subjectText = QStringLiteral("ring");
    rules.lastDate = QDateTime(QDate(2026, 11, 30), QTime(10, 0), Qt::UTC);
    rules.checks = {true, rfcKey, true, QStringLiteral("mx.example.net"),
                    written.addSecs(clockMinutes * 60)};
    if (replay)
        rules.lastCodeStep = owners;
    SessionValues session;
    session.MailNo = 5; // the first mail of a session of six
    session.MailCount = QStringLiteral("6");
    const Examination e = examineMail(headerFields(lines), session, rules);
    const auto go = static_cast<int>(Verdict::GoOn);
    QCOMPARE(static_cast<int>(e.verdict), verdict);
    QCOMPARE(e.checks.codeFailed, verdict == go && results.contains("pass"));
    QCOMPARE(e.checks.codeReused, replay);
    QCOMPARE(e.checks.senderFailed, !results.contains("pass"));
    QCOMPARE(session.SessionNewestAuthservIds, QStringList{QStringLiteral("mx.example.net")});
}

void TestMailChecks::encodedWords_data()
{
    QTest::addColumn<QString>("header");
    QTest::addColumn<QString>("text");
    QTest::newRow("UTF-8 B") << "=?UTF-8?B?44GT44KT44Gr44Gh44Gv?="
                             << "こんにちは";
    QTest::newRow("ISO-2022-JP B") << "=?ISO-2022-JP?B?GyRCJDMkcyRLJEEkTxsoQg==?="
                                   << "こんにちは";
    QTest::newRow("Shift_JIS, lower case") << "=?shift_jis?b?i06Trg?="
                                           << "起動";
    QTest::newRow("EUC-JP Q") << "=?EUC-JP?Q?=B5=AF=C6=B0?= now"
                              << "起動 now";
    QTest::newRow("ISO-8859-1 Q, language") << "=?ISO-8859-1*fr?Q?caf=E9_au_lait?="
                                            << "café au lait";
    QTest::newRow("adjacent words join") << "=?UTF-8?B?44GT44KT?=\r\n =?UTF-8?B?44Gr44Gh44Gv?= !"
                                         << "こんにちは !";
    QTest::newRow("character split between words")
        << "x =?UTF-8?B?44GT4w==?= =?UTF-8?B?gpPjgavjgaHjga8=?="
        << "x こんにちは";
    QTest::newRow("plain text keeps its blanks") << "a =?UTF-8?Q?b?= c"
                                                 << "a b c";
    QTest::newRow("unknown charset") << "=?X-NONE?Q?abc?= d"
                                     << "=?X-NONE?Q?abc?= d";
    QTest::newRow("broken word") << "=?UTF-8?B?@@@?= =?UTF-8?Q?ok?="
                                 << "=?UTF-8?B?@@@?= ok";
}

void TestMailChecks::encodedWords()
{
    QFETCH(QString, header);
    QFETCH(QString, text);
    QCOMPARE(decodeEncodedWords(header), text);
}

// A setting searched for in a subject as written (encoded words decoded first).
void TestMailChecks::folding_data()
{
    QTest::addColumn<QString>("setting");
    QTest::addColumn<QString>("subject");
    QTest::addColumn<bool>("found");
    QTest::newRow("full width, ideographic space") << "wakeup ringlark"
                                                   << "ＷＡＫＥＵＰ　ＲＩＮＧＬＡＲＫ" << true;
    QTest::newRow("encoded full width")
        << "WAKEUP RINGLARK"
        << "=?ISO-2022-JP?B?GyRCI1cjQSNLI0UjVSNQISEjUiNJI04jRyNMI0EjUiNLGyhC?=" << true;
    QTest::newRow("half-width katakana setting") << "ｺｰﾙﾊﾞｯｸ"
                                                 << "コールバック開始" << true;
    QTest::newRow("different text") << "wakeup"
                                    << "wake-up" << false;
    QTest::newRow("empty finds text") << ""
                                      << "x" << true;
    QTest::newRow("empty in empty") << ""
                                    << "" << false;
}

void TestMailChecks::folding()
{
    QFETCH(QString, setting);
    QFETCH(QString, subject);
    QFETCH(bool, found);
    QCOMPARE(occursFolded(setting, decodeEncodedWords(subject)), found);
}

// A check key is on for anything but empty or 0; a word switches it on and is told of.
void TestMailChecks::checkKeys_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("on");
    QTest::addColumn<bool>("told");
    QTest::newRow("missing") << QString() << false << false;
    QTest::newRow("0") << " 0 " << false << false;
    QTest::newRow("0.0") << "0.0" << false << false;
    QTest::newRow("1") << "1" << true << false;
    QTest::newRow("2") << "2" << true << false;
    QTest::newRow("true") << "true" << true << true;
    QTest::newRow("off") << "off" << true << true;
}

void TestMailChecks::checkKeys()
{
    QFETCH(QString, value);
    QFETCH(bool, on);
    QFETCH(bool, told);
    TriggerChecks checks;
    checks.totpCheck = value;
    checks.authCheck = value;
    QCOMPARE(checks.codeRequired(), on);
    QCOMPARE(checks.senderVerdictRequired(), on);
    QCOMPARE(checks.unreadableFlags().size(), told ? 2 : 0);
}

QTEST_GUILESS_MAIN(TestMailChecks)
#include "tst_mail_checks.moc"
