#include "mail_header.h"
#include "recognition.h"
#include "session_settings.h"
#include "settings_table.h"

#include <QTest>

using namespace ringlark;

namespace {

// A reply's lines as the session hands them over: split at CR LF.
QList<QByteArray> crlf(const QByteArray &text)
{
    QList<QByteArray> lines;
    qsizetype from = 0;
    for (qsizetype end; (end = text.indexOf("\r\n", from)) >= 0; from = end + 2)
        lines.append(text.mid(from, end - from));
    if (from < text.size())
        lines.append(text.mid(from));
    return lines;
}

// Split at LF only: a mail with bare LF line ends, or a CR LF reply split carelessly.
QList<QByteArray> lf(const QByteArray &text)
{
    QList<QByteArray> lines = text.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

const QByteArray plainHeader = "Return-Path: <taro@example.jp>\r\n"
                               "Received: from mx.example.jp by pop.example.net; "
                               "Sat, 25 Sep 2004 09:00:05 +0900\r\n"
                               "From: Taro Yamada <taro@example.jp>\r\n"
                               "To: home@example.net\r\n"
                               "Subject: Please dial now\r\n"
                               "Date: Sat, 25 Sep 2004 09:00:00 +0900\r\n"
                               "Message-ID: <1@example.jp>\r\n"
                               "\r\n"
                               "Hello\r\n";

// The settings a row needs; everything else keeps the defaults of a fresh store.
struct Checks
{
    QVariant fromCheck = QStringLiteral("0");
    QString fromAddress;
    QVariant subjectCheck = QStringLiteral("0");
    QString subject;
    QVariant lastDate = QStringLiteral("2003/04/01 00:00:00");

    SettingsTable table() const
    {
        SettingsTable t;
        t.FromCheck = fromCheck;
        t.FromAddress = fromAddress;
        t.SubjectCheck = subjectCheck;
        t.Subject = subject;
        t.LastDate = lastDate;
        return t;
    }
};

Checks testsOff()
{
    return {};
}

Checks fromIs(const QVariant &flag, const QString &address)
{
    Checks c;
    c.fromCheck = flag;
    c.fromAddress = address;
    return c;
}

Checks subjectIs(const QVariant &flag, const QString &text)
{
    Checks c;
    c.subjectCheck = flag;
    c.subject = text;
    return c;
}

Checks lastDate(const QVariant &value)
{
    Checks c;
    c.lastDate = value;
    return c;
}

} // namespace

Q_DECLARE_METATYPE(Checks)

class TestRecognition : public QObject
{
    Q_OBJECT

private slots:
    void examinesHeader_data();
    void examinesHeader();
    void listsTheMessage_data();
    void listsTheMessage();
    void describesTheTriggerForTheReply_data();
    void describesTheTriggerForTheReply();
};

void TestRecognition::examinesHeader_data()
{
    QTest::addColumn<QList<QByteArray>>("lines");
    QTest::addColumn<Checks>("checks");
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("flag"); // "" when the mail is not the trigger
    QTest::addColumn<bool>("closeNow");

    const QString taro = QStringLiteral("Taro Yamada <taro@example.jp>");
    const QString dial = QStringLiteral("Please dial now");
    const QString sept25 = QStringLiteral("2004/09/25 09:00:00");
    const QString unknown = undatedText();
    auto header = [](const QByteArray &from, const QByteArray &subject, const QByteArray &date,
                     const QByteArray &body = "Hello") {
        return "Received: from mx.example.jp by pop.example.net\r\n" + from + subject + date +
               "To: home@example.net\r\n\r\n" + body + "\r\n";
    };
    const QByteArray fromTaro = "From: Taro Yamada <taro@example.jp>\r\n";
    const QByteArray subjectDial = "Subject: Please dial now\r\n";
    const QByteArray date25 = "Date: Sat, 25 Sep 2004 09:00:00 +0900\r\n";

    // --- where the fields are found
    QTest::newRow("plain, tests off: the first mail is the trigger")
        << crlf(plainHeader) << testsOff() << taro << dial << sept25 << "START" << false;
    QTest::newRow("DKIM signature naming from, subject and date above the fields")
        << crlf("DKIM-Signature: v=1; a=rsa-sha256; c=relaxed/relaxed; d=example.jp;\r\n"
                "\ts=2023; h=from:to:subject:date:message-id;\r\n"
                "\tbh=47DEQpj8HBSa+/TImW+5JCeuQeRkm5NMpJWZG3hSuFU=;\r\n"
                "\tb=dzdVyOfAKCdLXdJOc9G2q8LoXSlEniSbav+yuU4zGeeruD00lszZVoG4ZHRNiYzR\r\n"
                "ARC-Message-Signature: i=1; h=From:Subject:Date;\r\n"
                "Resent-Date: Sun, 26 Sep 2004 10:00:00 +0900\r\n"
                "X-Original-From: mallory@example.com\r\n"
                "Subject: Please dial now\r\n"
                "From: Taro Yamada <taro@example.jp>\r\n"
                "Date: Sat, 25 Sep 2004 09:00:00 +0900\r\n"
                "\r\n"
                "Hello\r\n")
        << fromIs(1, QStringLiteral("taro@example.jp")) << taro << dial << sept25 << "START"
        << false;
    QTest::newRow("field names in other letter case")
        << crlf("FROM: Taro Yamada <taro@example.jp>\r\nsubject: Please dial now\r\n"
                "DATE: Sat, 25 Sep 2004 09:00:00 +0900\r\n\r\n")
        << testsOff() << taro << dial << sept25 << "START" << false;
    QTest::newRow("folded Subject")
        << crlf(header(fromTaro, "Subject: Please\r\n dial now\r\n", date25))
        << subjectIs(1, QStringLiteral("please dial now")) << taro << dial << sept25 << "START"
        << false;
    QTest::newRow("Japanese client folding From before the address, decoded")
        << crlf(header("From: =?ISO-2022-JP?B?GyRCOzNFRBsoQiAbJEJCQE86GyhC?=\r\n"
                       " <taro@example.jp>\r\n",
                       subjectDial, date25))
        << fromIs(1, QStringLiteral("TARO@EXAMPLE.JP"))
        << QStringLiteral("山田 太郎 <taro@example.jp>") << dial << sept25 << "START" << false;
    QTest::newRow("folded Date") << crlf(header(fromTaro, subjectDial,
                                                "Date: Sat, 25 Sep 2004\r\n\t09:00:00 +0900\r\n"))
                                 << testsOff() << taro << dial << sept25 << "START" << false;
    QTest::newRow("value only on the folded line")
        << crlf(header(fromTaro, "Subject:\r\n   Please dial now\r\n", date25)) << testsOff()
        << taro << dial << sept25 << "START" << false;
    QTest::newRow("Subject ending in a full stop")
        << crlf(header(fromTaro, "Subject: Please dial now.\r\n", date25))
        << subjectIs(1, QStringLiteral("now.")) << taro << QStringLiteral("Please dial now.")
        << sept25 << "START" << false;
    QTest::newRow("several blanks after the colon")
        << crlf(header(fromTaro, "Subject: \t  Please dial now\r\n", date25)) << testsOff() << taro
        << dial << sept25 << "START" << false;
    QTest::newRow("no blank after the colon")
        << crlf(header("From:taro@example.jp\r\n", "Subject:Please dial now\r\n",
                       "Date:Sat, 25 Sep 2004 09:00:00 +0900\r\n"))
        << fromIs(1, QStringLiteral("taro@")) << QStringLiteral("taro@example.jp") << dial << sept25
        << "START" << false;
    QTest::newRow("blank before the colon (obsolete form)")
        << crlf(header(fromTaro, "Subject : Please dial now\r\n", date25)) << testsOff() << taro
        << dial << sept25 << "START" << false;
    QTest::newRow("body line that looks like fields, dot-stuffed or not")
        << crlf("From: Taro Yamada <taro@example.jp>\r\nDate: Sat, 25 Sep 2004 09:00:00 +0900\r\n"
                "\r\n.Subject: Please dial now\r\n")
        << subjectIs(1, QStringLiteral("dial")) << taro << QString() << sept25 << "" << false;
    QTest::newRow("From in the body only")
        << crlf(header("", subjectDial, date25, "From: Taro Yamada <taro@example.jp>"))
        << fromIs(1, QStringLiteral("taro")) << QStringLiteral("FROM:None") << dial << sept25 << ""
        << false;
    QTest::newRow("bare LF line ends")
        << lf("From: Taro Yamada <taro@example.jp>\nSubject: Please dial now\n"
              "Date: Sat, 25 Sep 2004 09:00:00 +0900\n\nHello\n")
        << fromIs(1, QStringLiteral("example.jp")) << taro << dial << sept25 << "START" << false;
    QTest::newRow("CR left behind by a split at LF")
        << lf(plainHeader) << subjectIs(1, QStringLiteral("dial now")) << taro << dial << sept25
        << "START" << false;
    QTest::newRow("raw UTF-8 subject")
        << crlf(header(fromTaro, "Subject: \xe6\x8e\xa5\xe7\xb6\x9a\xe3\x81\x97\xe3\x81\xa6\r\n",
                       date25))
        << subjectIs(1, QStringLiteral("接続")) << taro << QStringLiteral("接続して") << sept25
        << "START" << false;
    QTest::newRow("8-bit text that is not UTF-8 is kept, its control byte shown as a blank")
        << crlf(header(fromTaro, "Subject: caf\xe9 \x82\xa0\r\n", date25)) << testsOff() << taro
        << QStringLiteral("café  \u00a0") << sept25 << "START" << false;
    QTest::newRow("a line break encoded in the subject writes no line of its own")
        << crlf(header(fromTaro, "Subject: =?UTF-8?Q?a=0D=0A01/01_00:00_VPN?=\r\n", date25))
        << testsOff() << taro << QStringLiteral("a  01/01 00:00 VPN") << sept25 << "START" << false;

    // --- missing fields
    QTest::newRow("no From, sender test on")
        << crlf(header("", subjectDial, date25)) << fromIs(1, QStringLiteral("taro"))
        << QStringLiteral("FROM:None") << dial << sept25 << "" << false;
    QTest::newRow("no From, address found in the fall-back text")
        << crlf(header("", subjectDial, date25)) << fromIs(1, QStringLiteral("none"))
        << QStringLiteral("FROM:None") << dial << sept25 << "START" << false;
    QTest::newRow("no Subject, subject test on")
        << crlf(header(fromTaro, "", date25)) << subjectIs(1, QString()) << taro << QString()
        << sept25 << "" << false;
    QTest::newRow("no Subject, test off") << crlf(header(fromTaro, "", date25)) << testsOff()
                                          << taro << QString() << sept25 << "START" << false;
    QTest::newRow("no Date: listed undated, never the trigger")
        << crlf(header(fromTaro, subjectDial, "")) << testsOff() << taro << dial << unknown << ""
        << false;
    QTest::newRow("garbage Date") << crlf(header(fromTaro, subjectDial, "Date: someday soon\r\n"))
                                  << testsOff() << taro << dial << unknown << "" << false;
    QTest::newRow("Date in the body only")
        << crlf(header(fromTaro, subjectDial, "", date25.chopped(2))) << testsOff() << taro << dial
        << unknown << "" << false;
    QTest::newRow("empty header") << QList<QByteArray>() << testsOff()
                                  << QStringLiteral("FROM:None") << QString() << unknown << ""
                                  << false;

    // --- the tests and the check flags
    QTest::newRow("sender in other letter case")
        << crlf(plainHeader) << fromIs(1, QStringLiteral("TARO@EXAMPLE.JP")) << taro << dial
        << sept25 << "START" << false;
    QTest::newRow("sender does not match")
        << crlf(plainHeader) << fromIs(1, QStringLiteral("hanako@example.jp")) << taro << dial
        << sept25 << "" << false;
    QTest::newRow("subject in other letter case")
        << crlf(plainHeader) << subjectIs(1, QStringLiteral("DIAL")) << taro << dial << sept25
        << "START" << false;
    QTest::newRow("full-width letters in other case")
        << crlf(header(fromTaro, "Subject: \xef\xbd\x84\xef\xbd\x89\xef\xbd\x81\xef\xbd\x8c\r\n",
                       date25))
        << subjectIs(1, QStringLiteral("ＤＩＡＬ")) << taro << QStringLiteral("ｄｉａｌ") << sept25
        << "START" << false;
    QTest::newRow("subject does not match")
        << crlf(plainHeader) << subjectIs(1, QStringLiteral("hang up")) << taro << dial << sept25
        << "" << false;
    QTest::newRow("empty Subject setting matches a subject")
        << crlf(plainHeader) << subjectIs(1, QString()) << taro << dial << sept25 << "START"
        << false;
    QTest::newRow("empty Subject setting and an empty subject")
        << crlf(header(fromTaro, "Subject:\r\n", date25)) << subjectIs(1, QString()) << taro
        << QString() << sept25 << "" << false;
    QTest::newRow("flag never saved (empty) reads as off")
        << crlf(plainHeader) << subjectIs(QString(), QStringLiteral("hang up")) << taro << dial
        << sept25 << "START" << false;
    QTest::newRow("flag that is no number reads as off")
        << crlf(plainHeader) << fromIs(QStringLiteral("yes"), QStringLiteral("hanako")) << taro
        << dial << sept25 << "START" << false;
    QTest::newRow("flag with blanks reads as its number")
        << crlf(plainHeader) << fromIs(QStringLiteral(" 1 "), QStringLiteral("hanako")) << taro
        << dial << sept25 << "" << false;

    // --- new or not
    QTest::newRow("one second after LastDate")
        << crlf(plainHeader) << lastDate(QStringLiteral("2004/09/25 08:59:59")) << taro << dial
        << sept25 << "START" << false;
    QTest::newRow("same time as LastDate: not new, closed at once")
        << crlf(plainHeader) << lastDate(QStringLiteral("2004/09/25 09:00:00")) << taro << dial
        << sept25 << "STOP" << true;
    QTest::newRow("earlier than LastDate")
        << crlf(plainHeader) << lastDate(QStringLiteral("2010/01/01 00:00:00")) << taro << dial
        << sept25 << "STOP" << true;
    QTest::newRow("LastDate held as a date-time after a dial")
        << crlf(plainHeader) << lastDate(QDateTime(QDate(2004, 9, 25), QTime(9, 0, 0), Qt::UTC))
        << taro << dial << sept25 << "STOP" << true;
    QTest::newRow("unreadable LastDate is earlier than every mail")
        << crlf(plainHeader) << lastDate(QStringLiteral("not a date")) << taro << dial << sept25
        << "START" << false;
}

void TestRecognition::examinesHeader()
{
    QFETCH(QList<QByteArray>, lines);
    QFETCH(Checks, checks);
    QFETCH(QString, from);
    QFETCH(QString, subject);
    QFETCH(QString, date);
    QFETCH(QString, flag);
    QFETCH(bool, closeNow);

    SessionValues session;
    session.MailCount = QStringLiteral("3");
    session.MailNo = 2; // message 3 of 3: the walk goes on after it unless it is the trigger

    const Examination result =
        examineMail(headerFields(lines), session, sessionSettings(checks.table()).rules);

    QCOMPARE(session.MailFrom, from);
    QCOMPARE(session.MailSubject, subject);
    QCOMPARE(mailDateText(session.TriggerMailDate), date);
    const Verdict verdict = flag.isEmpty()     ? Verdict::GoOn
                            : flag == u"START" ? Verdict::TriggerFound
                                               : Verdict::CloseNow;
    QCOMPARE(result.verdict, verdict);
    QCOMPARE(result.verdict == Verdict::CloseNow, closeNow);
    if (flag.isEmpty())
        QCOMPARE(session.MailNo, 1);
}

void TestRecognition::listsTheMessage_data()
{
    QTest::addColumn<QList<QByteArray>>("lines");
    QTest::addColumn<qint64>("mailNo");
    QTest::addColumn<QString>("expected");

    QTest::newRow("dated") << crlf(plainHeader) << qint64(4)
                           << QStringLiteral("No: 4 2004/09/25 09:00:00 送信者:Taro Yamada "
                                             "<taro@example.jp>\r\n     件名:Please dial now \r\n");
    QTest::newRow("message 1, undated, no fields")
        << crlf("X-Spam: yes\r\n\r\n") << qint64(0)
        << QStringLiteral("No: 0 日付不明 送信者:FROM:None\r\n     件名: \r\n");
}

void TestRecognition::listsTheMessage()
{
    QFETCH(QList<QByteArray>, lines);
    QFETCH(qint64, mailNo);
    QFETCH(QString, expected);

    SessionValues session;
    session.MailCount = QStringLiteral("5");
    session.MailNo = mailNo;
    session.TriggerMailDate = MailDate::dated(QDateTime(QDate(2010, 1, 1), QTime(), Qt::UTC));
    SettingsTable settings;
    settings.FromCheck = 1;
    settings.FromAddress = QStringLiteral("nobody");
    QCOMPARE(examineMail(headerFields(lines), session, sessionSettings(settings).rules).resultLines,
             expected);
}

QTEST_GUILESS_MAIN(TestRecognition)

// What the reply needs of a trigger: the address that passed the sender test, the
// Message-ID, whether a machine sent it, and whether it asks for a hang-up.
void TestRecognition::describesTheTriggerForTheReply_data()
{
    QTest::addColumn<QByteArray>("insert"); // before Subject:
    QTest::addColumn<bool>("autoSubmitted");
    QTest::addColumn<bool>("hangUp");
    QTest::newRow("plain") << QByteArray() << false << false;
    QTest::newRow("by a machine, hang-up in capitals")
        << QByteArray("Auto-Submitted: auto-generated\r\nSubject: HANG UP\r\n") << true << true;
    QTest::newRow("Auto-Submitted: no") << QByteArray("Auto-Submitted: No\r\n") << false << false;
}

void TestRecognition::describesTheTriggerForTheReply()
{
    QFETCH(QByteArray, insert);
    SessionValues session;
    session.MailCount = QStringLiteral("1");
    RecognitionRules rules =
        sessionSettings(fromIs(QStringLiteral("1"), QStringLiteral("taro@")).table()).rules;
    rules.hangUpSubject = QStringLiteral("hang up");
    const Examination result = examineMail(
        headerFields(crlf(QByteArray(plainHeader).replace("Subject:", insert + "Subject:"))),
        session, rules);
    QCOMPARE(result.trigger.fromAddress, QStringLiteral("taro@example.jp"));
    QCOMPARE(result.trigger.messageId, QStringLiteral("<1@example.jp>"));
    QTEST(result.trigger.autoSubmitted, "autoSubmitted");
    QTEST(result.trigger.hangUp, "hangUp");
}

#include "tst_recognition.moc"
