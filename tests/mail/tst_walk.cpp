#include "date_text.h"
#include "mail_header.h"
#include "recognition.h"
#include "session_settings.h"
#include "settings_table.h"

#include <QTest>

using namespace ringlark;

namespace {

struct Mail
{
    QByteArray from;
    QByteArray subject;
    QByteArray date; // empty: the mail has no Date field
};
using Mailbox = QList<Mail>; // message 1 first

Mail trigger(const char *date)
{
    return {"Taro Yamada <taro@example.jp>", "Please dial now", date};
}

Mail other(const char *subject, const char *date)
{
    return {"Shop <news@shop.example.com>", subject, date};
}

QList<QByteArray> linesOf(const Mail &mail)
{
    QList<QByteArray> lines{"Received: from mx.example.net by pop.example.net",
                            "From: " + mail.from, "Subject: " + mail.subject};
    if (!mail.date.isEmpty())
        lines << "Date: " + mail.date;
    lines << "Message-ID: <" + mail.subject.toHex() + "@example>"
          << ""
          << "Body";
    return lines;
}

// What one session showed, and what it left for the check cycle.
struct Outcome
{
    QString examined; // message numbers in the order examined, "3 2 1"
    QString label7;   // "-" when the walk did not end by itself
    QString flag;
    QString found; // TriggerFoundDate when the session found a new trigger
    bool closeNow = false;
};

bool operator==(const Outcome &a, const Outcome &b)
{
    return a.examined == b.examined && a.label7 == b.label7 && a.flag == b.flag &&
           a.found == b.found && a.closeNow == b.closeNow;
}

char *toString(const Outcome &o)
{
    return QTest::toString(QStringLiteral("examined [%1] label7 [%2] flag [%3] found [%4] close %5")
                               .arg(o.examined, o.label7, o.flag, o.found)
                               .arg(o.closeNow));
}

// The session's side of the walk: after STAT it asks for the highest message and lowers
// MailNo; each reply is examined after the next request (or QUIT, before message 1) went out,
// and the verdict ends the walk or records the trigger.
Outcome walk(const Mailbox &box, SessionValues &session, const RecognitionRules &rules,
             QString &text6)
{
    Outcome out;
    out.label7 = QStringLiteral("-");
    session.MailCount = QString::number(box.size());
    session.MailNo = box.size() - 1;
    QStringList examined;
    while (examined.size() < box.size()) {
        const qint64 number = session.MailNo + 1;
        const Examination e =
            examineMail(headerFields(linesOf(box.at(number - 1))), session, rules);
        examined << QString::number(number);
        text6 += e.resultLines;
        if (e.newestMailText)
            out.label7 = *e.newestMailText;
        if (e.verdict == Verdict::TriggerFound) {
            session.TriggerFlag = TriggerFlag::Start;
            session.TriggerFoundDate = session.TriggerMailDate.value;
        } else if (e.verdict == Verdict::CloseNow) {
            session.TriggerFlag = TriggerFlag::Stop;
            out.closeNow = true;
        }
        if (e.verdict != Verdict::GoOn || number == 1)
            break;
    }
    out.examined = examined.join(QLatin1Char(' '));
    out.flag = spelling(session.TriggerFlag);
    if (session.TriggerFlag == TriggerFlag::Start)
        out.found = dateText(session.TriggerFoundDate);
    return out;
}

} // namespace

Q_DECLARE_METATYPE(Mailbox)
Q_DECLARE_METATYPE(Outcome)

class TestWalk : public QObject
{
    Q_OBJECT

private slots:
    void walksTheMailbox_data();
    void walksTheMailbox();
};

void TestWalk::walksTheMailbox_data()
{
    QTest::addColumn<QString>("lastDate");
    QTest::addColumn<QList<Mailbox>>("sessions"); // the mailbox at each check
    QTest::addColumn<QList<Outcome>>("expected");
    QTest::addColumn<QString>("text6Has"); // in the result view of the last session

    const Mail o1 = other("Sale 1", "Mon, 20 Sep 2004 08:00:00 +0900");
    const Mail o2 = other("Sale 2", "Tue, 21 Sep 2004 08:00:00 +0900");
    const Mail o3 = other("Sale 3", "Wed, 22 Sep 2004 08:00:00 +0900");
    const Mail o4 = other("Sale 4", "Thu, 23 Sep 2004 08:00:00 +0900");
    const Mail o5 = other("Sale 5", "Fri, 24 Sep 2004 08:00:00 +0900");
    const Mail t = trigger("Sat, 25 Sep 2004 09:00:00 +0900");
    const QString lastDate = QStringLiteral("2004/01/01 00:00:00");
    const QString d1 = QStringLiteral("2004/09/20 08:00:00");
    const QString d2 = QStringLiteral("2004/09/21 08:00:00");
    const QString d3 = QStringLiteral("2004/09/22 08:00:00");
    const QString d4 = QStringLiteral("2004/09/23 08:00:00");
    const QString d5 = QStringLiteral("2004/09/24 08:00:00");
    const QString td = QStringLiteral("2004/09/25 09:00:00");
    const QString start = QStringLiteral("START");
    const QString stop = QStringLiteral("STOP");
    const QString none = QStringLiteral("-");
    const QString undated = undatedText();
    auto seen = [](const char *numbers, const QString &label7, const QString &flag = {},
                   const QString &found = {}, bool closeNow = false) {
        return Outcome{QString::fromLatin1(numbers), label7, flag, found, closeNow};
    };

    QTest::newRow("first examined mail is the trigger, new")
        << lastDate << QList<Mailbox>{{o1, t}} << QList<Outcome>{seen("2", none, start, td)}
        << QString();
    QTest::newRow("first examined mail is the trigger, not new")
        << td << QList<Mailbox>{{o1, t}} << QList<Outcome>{seen("2", none, stop, {}, true)}
        << QString();
    QTest::newRow("five messages, none matching: all examined, message 1 included")
        << lastDate << QList<Mailbox>{{o1, o2, o3, o4, o5}} << QList<Outcome>{seen("5 4 3 2 1", d5)}
        << QStringLiteral("No: 0 ") + d1;
    QTest::newRow("second session stops at the known newest")
        << lastDate << QList<Mailbox>{{o1, o2, o3}, {o1, o2, o3, o4}, {o1, o2, o3, o4}}
        << QList<Outcome>{seen("3 2 1", d3), seen("4 3", d4), seen("4", d4)} << QString();
    // Mail sent in the same second as the known newest is not mistaken for it.
    const Mail sameSecond = other("Sale 3b", "Wed, 22 Sep 2004 08:00:00 +0900");
    const Mail sameSecondOtherSender{"Other <x@example.org>", "Sale 3", sameSecond.date};
    QTest::newRow("known newest needs the same subject")
        << lastDate << QList<Mailbox>{{o1, o2, o3}, {o1, o2, o3, sameSecond}}
        << QList<Outcome>{seen("3 2 1", d3), seen("4 3", d3)} << QString();
    QTest::newRow("known newest needs the same sender")
        << lastDate << QList<Mailbox>{{o1, o2, o3}, {o1, o2, o3, sameSecondOtherSender}}
        << QList<Outcome>{seen("3 2 1", d3), seen("4 3", d3)} << QString();
    QTest::newRow("one-message mailbox records the known newest")
        << lastDate << QList<Mailbox>{{o1}, {o1, o2, o3}}
        << QList<Outcome>{seen("1", d1), seen("3 2 1", d3)} << QString();
    QTest::newRow("two messages, the older one is the trigger")
        << lastDate << QList<Mailbox>{{t, o5}} << QList<Outcome>{seen("2 1", d5, start, td)}
        << QString();
    QTest::newRow("trigger arrives below a newer mail after an earlier check")
        << lastDate << QList<Mailbox>{{o1, o2}, {o1, o2, t, o4}}
        << QList<Outcome>{seen("2 1", d2), seen("4 3", none, start, td)} << QString();
    QTest::newRow("trigger acted on is not new in the next check")
        << lastDate << QList<Mailbox>{{o1, t}, {o1, t}}
        << QList<Outcome>{seen("2", none, start, td), seen("2", none, stop, {}, true)} << QString();
    QTest::newRow("old trigger below: found not new, not looked at again")
        << lastDate
        << QList<Mailbox>{{trigger("1 Jan 2003 00:00:00 +0900"), o2},
                          {trigger("1 Jan 2003 00:00:00 +0900"), o2, o3}}
        << QList<Outcome>{seen("2 1", d2, stop, {}, true), seen("3 2", d3, stop)} << QString();
    QTest::newRow("undated mail at the top is listed and skipped, the walk goes on")
        << lastDate << QList<Mailbox>{{t, o2, trigger("")}, {t, o2, trigger("")}}
        << QList<Outcome>{seen("3 2 1", undated, start, td), seen("3", undated, stop)}
        << QStringLiteral("No: 2 ") + undated;
    QTest::newRow("undated mail does not borrow the date listed above it")
        << lastDate << QList<Mailbox>{{o1, other("No date", ""), o3}}
        << QList<Outcome>{seen("3 2 1", d3)} << QStringLiteral("No: 1 ") + undated;
    // The machine's clock reads 2004/09/26 10:00 (see walksTheMailbox).
    QTest::newRow("a trigger dated beyond tomorrow is passed over, the walk goes on")
        << lastDate << QList<Mailbox>{{o1, t, trigger("Fri, 01 Jan 2099 00:00:00 +0900")}}
        << QList<Outcome>{seen("3 2", none, start, td)} << QString();
    QTest::newRow("a trigger dated within an hour ahead is believed, one beyond is not")
        << lastDate
        << QList<Mailbox>{{o1, trigger("Sun, 26 Sep 2004 11:01:00 +0900")},
                          {o1, trigger("Sun, 26 Sep 2004 01:59:00 +0000")}}
        << QList<Outcome>{seen("2 1", QStringLiteral("2004/09/26 11:01:00")),
                          seen("2", none, start,
                                                 QStringLiteral("2004/09/26 10:59:00"))}
        << QString();
    QTest::newRow("instants: written in +0000 an hour after one written in +0900 is new")
        << td << QList<Mailbox>{{o1, trigger("Sat, 25 Sep 2004 01:00:00 +0000")}}
        << QList<Outcome>{seen("2", none, start, QStringLiteral("2004/09/25 10:00:00"))}
        << QString();
    QTest::newRow("unreadable LastDate: every dated trigger is new")
        << QStringLiteral("garbage")
        << QList<Mailbox>{{o1, trigger("Fri, 31 Dec 1999 23:59:59 +0900")}}
        << QList<Outcome>{seen("2", none, start, QStringLiteral("1999/12/31 23:59:59"))}
        << QString();
}

void TestWalk::walksTheMailbox()
{
    QFETCH(QString, lastDate);
    QFETCH(QList<Mailbox>, sessions);
    QFETCH(QList<Outcome>, expected);
    QFETCH(QString, text6Has);

    SettingsTable settings;
    settings.FromCheck = QStringLiteral("1");
    settings.FromAddress = QStringLiteral("taro@example.jp");
    settings.SubjectCheck = QStringLiteral("1");
    settings.Subject = QStringLiteral("dial");
    settings.LastDate = lastDate;

    SessionValues session; // lives across the checks, as in the program
    QString text6;
    for (qsizetype i = 0; i < sessions.size(); ++i) {
        text6.clear();
        const QDateTime clock(QDate(2004, 9, 26), QTime(10, 0, 0));
        QCOMPARE(walk(sessions.at(i), session, sessionSettings(settings, clock).rules, text6),
                 expected.at(i));
        // The check cycle after a session that found a new trigger.
        if (session.TriggerFlag == TriggerFlag::Start) {
            settings.LastDate = session.TriggerFoundDate;
            session.TriggerFlag = TriggerFlag::Stop;
        }
    }
    QVERIFY2(text6.contains(text6Has), qPrintable(text6));
}

QTEST_GUILESS_MAIN(TestWalk)
#include "tst_walk.moc"
