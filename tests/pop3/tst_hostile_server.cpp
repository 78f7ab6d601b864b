#include "hostile_peer.h"
#include "live_session.h"
#include "pop3_errors.h"
#include "sample_mails.h"
#include "scripted_pop3_server.h"

#include <QRandomGenerator>
#include <QTcpSocket>
#include <QTest>

#include <algorithm>
#include <vector>

using namespace ringlark;
using namespace ringlark::test;

namespace {

// How a session under attack must end.
struct Ending
{
    enum class Kind
    {
        Error,    // through the error path: Text6 ends with the error's report
        Watchdog, // the server fell silent: the watchdog's text
        Polite,   // QUIT sent, no error
        Any,      // whatever the bytes led to, as long as it ends
    };
    Kind kind;
    Pop3Error error = Pop3Error::ReplyTooLarge;
};

Ending endsWith(Pop3Error e)
{
    return {Ending::Kind::Error, e};
}

constexpr int kDripMs = 60;

// The largest sizes the session's own buffers reached, sampled after every arrival.
struct Peaks
{
    qsizetype reader = 0;
    qsizetype text4 = 0;
    qsizetype text6 = 0;
};

void samplePeaks(LiveSession &rig, Peaks &peaks)
{
    // Connected after the session's own slot, so it sees the state the arrival left.
    QObject::connect(&rig.session.socket(), &TcpSocket::readyRead, &rig.session, [&rig, &peaks] {
        peaks.reader = std::max(peaks.reader, rig.session.replyReader().heldBytes());
        peaks.text4 = std::max(peaks.text4, rig.report.traffic().text().size());
        peaks.text6 = std::max(peaks.text6, rig.report.results().size());
    });
}

// A literal with NUL bytes in it, whole.
template <size_t N> QByteArray bytes(const char (&text)[N])
{
    return QByteArray(text, N - 1);
}

bool isTop(const QByteArray &command)
{
    return command.startsWith("TOP ");
}

using Arm = std::function<void(ScriptedPop3Server &, LiveSession &)>;

// The server answers every TOP through `answer`, and everything else as usual.
void answerTop(ScriptedPop3Server &server, std::function<void(QTcpSocket *)> answer)
{
    server.onCommand = [answer](QTcpSocket *s, const QByteArray &c) {
        if (isTop(c))
            answer(s);
        return isTop(c);
    };
}

Arm onTop(std::function<void(QTcpSocket *)> answer)
{
    return [answer](ScriptedPop3Server &server, LiveSession &) { answerTop(server, answer); };
}

// The server answers STAT with `reply`, and everything else as usual.
Arm onStat(const QByteArray &reply)
{
    return [reply](ScriptedPop3Server &server, LiveSession &) {
        server.answerOverride = [reply](const QByteArray &c) -> std::optional<QByteArray> {
            if (c == "STAT")
                return reply;
            return std::nullopt;
        };
    };
}

QByteArray plainTop(const QByteArray &subject)
{
    MailSpec mailSpec;
    mailSpec.subject = subject;
    mailSpec.date = "Mon, 27 Sep 2004 08:00:00 +0900";
    return "+OK\r\n" + topReplyBody(realisticMail(mailSpec));
}

// Half a TOP reply, then the connection closed, or reset.
Arm cutTop(bool reset)
{
    return onTop([reset](QTcpSocket *s) {
        const QByteArray reply = plainTop("cut off");
        s->write(reply.left(reply.size() / 2));
        if (!reset)
            return s->disconnectFromHost();
        // Reset once the half is on its way: a reset drops anything unsent.
        QObject::connect(s, &QTcpSocket::bytesWritten, s, [s] {
            if (s->bytesToWrite() == 0)
                resetConnection(s);
        });
    });
}

// A TOP reply of `lines` over and over: read to its end, it never ends but at the deadline.
Arm endlessTop(const QByteArray &lines)
{
    return onTop([lines](QTcpSocket *s) {
        s->write("+OK\r\n");
        streamInto(s, endless(lines));
    });
}

struct Attack
{
    const char *name;
    Ending ending;
    // Turns the well-behaved server into the hostile one for the next session.
    Arm arm;
    // For an attack that only the watchdog or the deadline ends: when the attack has run
    // long enough to show that nothing else would end it.
    std::function<bool(const ScriptedPop3Server &, LiveSession &, const Peaks &)> ranLongEnough =
        {};
};

// Well past the cap on a reply: the session reads on and holds nothing of it.
bool pastReplyCap(const ScriptedPop3Server &, LiveSession &rig, const Peaks &)
{
    return rig.session.replyReader().appendedBytes() > kMaxReplyBytes + 1024 * 1024;
}

const std::vector<Attack> &attacks()
{
    static const std::vector<Attack> all{
        {"slow drip: the greeting, then a header line without end",
         endsWith(Pop3Error::SessionTooLong),
         [](ScriptedPop3Server &server, LiveSession &) {
             // The greeting alone takes longer than the watchdog: each byte restarts it.
             server.onConnect = [](QTcpSocket *s) {
                 streamInto(s, byteByByte("+OK slowly, slowly, one byte at a time\r\n"), kDripMs);
                 return true;
             };
             answerTop(server, [](QTcpSocket *s) {
                 streamInto(s, byteByByte("+OK\r\nSubject: ", 'x'), kDripMs);
             });
         },
         [](const ScriptedPop3Server &server, LiveSession &rig, const Peaks &) {
             return server.commands.contains("TOP 2 1") &&
                    rig.report.traffic().text().contains(QStringLiteral("Subject: xxx"));
         }},
        {"greeting of 10 MB", endsWith(Pop3Error::ReplyTooLarge),
         [](ScriptedPop3Server &server, LiveSession &) {
             server.onConnect = [](QTcpSocket *s) {
                 streamInto(s, sized("+OK ", 10'000'000, 'g', "\r\n"));
                 return true;
             };
         }},
        {"header line of 1 MB without line end, then silence",
         {Ending::Kind::Watchdog},
         onTop([](QTcpSocket *s) {
             streamInto(s, sized("+OK\r\nX-Long: ", 1'000'000, 'h', QByteArray()));
         }),
         [](const ScriptedPop3Server &, LiveSession &, const Peaks &peaks) {
             return peaks.reader >= 1'000'000;
         }},
        {"TOP reply that never ends, short lines", endsWith(Pop3Error::SessionTooLong),
         endlessTop(QByteArray("a\r\n").repeated(4096)), pastReplyCap},
        {"TOP reply that never ends, long lines", endsWith(Pop3Error::SessionTooLong),
         endlessTop(("X-Filler: " + QByteArray(1000, 'f') + "\r\n").repeated(32)), pastReplyCap},
        {"STAT count 4,294,967,296, every TOP answered", endsWith(Pop3Error::SessionTooLong),
         [](ScriptedPop3Server &server, LiveSession &) {
             // Only the first 64 TOPs are answered, and then the deadline is fired: a client
             // and a server answering each other at once in one thread keep Windows' event
             // queue from ever running empty, so the test would never get to look.
             server.onCommand = [answered = 0](QTcpSocket *s, const QByteArray &c) mutable {
                 if (c == "STAT")
                     s->write("+OK 4294967296 0\r\n");
                 else if (isTop(c) && ++answered <= 64)
                     s->write(plainTop("filler"));
                 else if (isTop(c))
                     return true;
                 else
                     return false;
                 return true;
             };
         },
         [](const ScriptedPop3Server &server, LiveSession &, const Peaks &) {
             return server.commands.contains("TOP 4294967232 1");
         }},
        {"STAT count -1", endsWith(Pop3Error::StatReplyUnreadable), onStat("+OK -1 0\r\n")},
        {"garbage greeting with NUL and invalid UTF-8",
         {Ending::Kind::Polite},
         [](ScriptedPop3Server &server, LiveSession &) {
             server.greeting = bytes("\x00\xff\xfe\xc3\x28 hello\x00\r\n");
         }},
        {"garbage STAT reply", endsWith(Pop3Error::StatReplyUnreadable),
         onStat(bytes("+OK \x00\xff\xfe 12\r\n"))},
        {"garbage header fields",
         {Ending::Kind::Polite},
         [](ScriptedPop3Server &server, LiveSession &) {
             const QByteArray garbage = bytes("From: \x00\xff\xfe <\xc3\x28@x>\r\n"
                                              "Subject: \xe3\x81\x00 half\xe3\r\n"
                                              "Date: \xff\xfe 31 Foo 99999 25:61:61 +9999\r\n"
                                              "\r\n\x00\xff body\r\n");
             server.messages = {mailboxWithTrigger().at(1), garbage};
         }},
        {"random bytes inside a TOP reply",
         {Ending::Kind::Any},
         [](ScriptedPop3Server &server, LiveSession &) {
             QRandomGenerator random(20240605);
             QByteArray noise(64 * 1024, '\0');
             for (char &c : noise)
                 c = static_cast<char>(random.bounded(256));
             answerTop(server,
                       [noise](QTcpSocket *s) { s->write("+OK\r\n" + noise + "\r\n.\r\n"); });
         }},
        {"close in the middle of a TOP reply", endsWith(Pop3Error::ConnectionLost), cutTop(false)},
        {"reset in the middle of a TOP reply", endsWith(Pop3Error::ConnectionLost), cutTop(true)},
        {"endless stream after the user stopped monitoring", endsWith(Pop3Error::SessionTooLong),
         [](ScriptedPop3Server &server, LiveSession &rig) {
             server.onConnect = [&rig](QTcpSocket *s) {
                 // Arrivals after a stop are only shown; nothing but the deadline ends this.
                 rig.values.SessionStep = SessionStep::Stop;
                 streamInto(s, endless(QByteArray(64 * 1024, 'z')), 5);
                 return true;
             };
         },
         [](const ScriptedPop3Server &, LiveSession &rig, const Peaks &peaks) {
             return peaks.text4 > rig.report.traffic().maxChars();
         }},
    };
    return all;
}

void disarm(ScriptedPop3Server &server)
{
    server.onConnect = {};
    server.onCommand = {};
    server.answerOverride = {};
    server.greeting = ScriptedPop3Server().greeting;
    server.messages = mailboxWithTrigger();
}

} // namespace

// Each attack: the session ends, within the watchdog or the deadline, with bounded memory
// and no socket-error box; then a well-behaved server gets a working session from the same
// session object, as the next tick of the check cycle would.
class TestHostileServer : public QObject
{
    Q_OBJECT
private slots:
    void sessionSurvivesAttack_data();
    void sessionSurvivesAttack();
};

void TestHostileServer::sessionSurvivesAttack_data()
{
    QTest::addColumn<int>("attack");
    for (size_t i = 0; i < attacks().size(); ++i)
        QTest::newRow(attacks()[i].name) << static_cast<int>(i);
}

void TestHostileServer::sessionSurvivesAttack()
{
    QFETCH(int, attack);
    const Attack &a = attacks()[static_cast<size_t>(attack)];

    ScriptedPop3Server server;
    QVERIFY(server.listen());
    server.user = "ringlark";
    server.password = kLivePassword.toUtf8();
    LiveSession rig(server.address());
    Peaks peaks;
    samplePeaks(rig, peaks);
    disarm(server);
    a.arm(server, rig);

    RssProbe rss;
    const bool measureRss = RssProbe::usable();
    if (measureRss)
        rss.begin();

    rig.start();
    if (a.ranLongEnough) {
        QTRY_VERIFY_WITH_TIMEOUT(a.ranLongEnough(server, rig, peaks), 20000);
        QVERIFY(!rig.ended());
        FakeTimer &bound =
            a.ending.kind == Ending::Kind::Watchdog ? rig.watchdog() : rig.deadline();
        // Fired until it has ended the session: bytes still arriving restart the watchdog.
        QTRY_VERIFY_WITH_TIMEOUT(!bound.fire(), 20000);
    }
    QTRY_VERIFY_WITH_TIMEOUT(rig.ended(), 20000);
    QVERIFY(!rig.session.watchdogActive());
    QTRY_COMPARE_WITH_TIMEOUT(server.openConnections(), 0, 5000);

    const QString text6 = rig.report.results();
    switch (a.ending.kind) {
    case Ending::Kind::Error:
        QVERIFY2(text6.endsWith(errorReport(a.ending.error)), qPrintable(text6.right(200)));
        break;
    case Ending::Kind::Watchdog:
        QCOMPARE(text6, QStringLiteral("メールサーバーが応答しません"));
        break;
    case Ending::Kind::Polite:
        QVERIFY2(!text6.contains(QStringLiteral("ERR(")), qPrintable(text6));
        QCOMPARE(server.commands.last(), QByteArray("QUIT"));
        break;
    case Ending::Kind::Any:
        break;
    }
    // Plain TCP never fails as a socket error here: a close or a reset is no box.
    QVERIFY(rig.box.shown.isEmpty());
    QVERIFY(!text6.contains(kLivePassword));

    const qint64 growth = measureRss ? rss.peakGrowth() : -1;
    qInfo("peaks: reader %lld bytes, Text4 %lld chars, Text6 %lld chars, RSS +%lld KiB",
          static_cast<long long>(peaks.reader), static_cast<long long>(peaks.text4),
          static_cast<long long>(peaks.text6), static_cast<long long>(growth / 1024));

    // The session's own buffers stay within their caps whatever arrived.
    QVERIFY2(peaks.reader <= 32 * 1024 * 1024, qPrintable(QString::number(peaks.reader)));
    QVERIFY2(peaks.text4 <= rig.report.traffic().maxChars() * 5 / 4,
             qPrintable(QString::number(peaks.text4)));
    QVERIFY2(peaks.text6 <= SessionReport::kMaxResultChars * 5 / 4,
             qPrintable(QString::number(peaks.text6)));
    if (measureRss) {
        QVERIFY2(growth < 64 * 1024 * 1024, qPrintable(QString::number(growth)));
    }

    // Attack-specific proof that the attack ran as meant.
    const QString name = QString::fromLatin1(a.name);
    if (name.startsWith(QStringLiteral("slow drip")))
        QVERIFY(server.commands.contains("TOP 2 1")); // the dripped greeting was taken
    if (name.startsWith(QStringLiteral("STAT count 4"))) {
        QCOMPARE(rig.values.MailCount, QStringLiteral("4294967296"));
        QVERIFY(server.commands.contains("TOP 4294967296 1"));
        QVERIFY(server.commands.contains("TOP 4294967295 1"));
    }
    if (name.startsWith(QStringLiteral("garbage header")))
        QVERIFY(text6.contains(QStringLiteral("日付不明")));
    if (name.startsWith(QStringLiteral("endless stream after")))
        QVERIFY(peaks.text4 > rig.report.traffic().maxChars()); // the cap was reached

    // The next tick, against a server that behaves: the trigger mail is found.
    disarm(server);
    rig.start();
    QTRY_VERIFY_WITH_TIMEOUT(rig.values.SessionStep == SessionStep::Quit, 10000);
    QCOMPARE(rig.values.TriggerFlag, TriggerFlag::Start);
    QVERIFY(rig.box.shown.isEmpty());
    QTRY_VERIFY(!rig.session.isRunning());
}

QTEST_GUILESS_MAIN(TestHostileServer)
#include "tst_hostile_server.moc"
