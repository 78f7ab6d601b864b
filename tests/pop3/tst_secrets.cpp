#include "live_session.h"
#include "log_capture.h"
#include "pop3_errors.h"
#include "sample_mails.h"
#include "scripted_pop3_server.h"

#include <QRegularExpression>
#include <QTcpServer>
#include <QTest>

using namespace ringlark;
using namespace ringlark::test;

namespace {

// Everything of ours that a password could leak into: the ringlark.pop3 log, the traffic
// view, the result view and every box.
struct Outputs
{
    QString log;
    QString text4;
    QString text6;
    QStringList boxes;
};

// Runs one session to its end, capturing what it showed and logged.
Outputs runSession(LiveSession &rig)
{
    LogCapture capture("ringlark.pop3");
    rig.start();
    rig.waitForEnd(); // the caller checks rig.ended()
    return {capture.joined(), rig.report.traffic().text(), rig.report.results(), rig.box.texts()};
}

} // namespace

// The POP3 password never shows in anything the program writes: not in its log (PASS goes
// out as "PASS ****"), not in the traffic view (which shows only what the server sent), not
// in any error text, not even when the server echoes it back, and a password the server must
// never see (one with a line break) is not shown either.
class TestSecrets : public QObject
{
    Q_OBJECT
private slots:
    void passwordNeverShown_data();
    void passwordNeverShown();
    void socketErrorBoxHoldsNoPassword();
};

void TestSecrets::passwordNeverShown_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("echo");
    QTest::addColumn<bool>("sent");
    QTest::newRow("normal session") << kLivePassword << false << true;
    QTest::newRow("server echoes it in its error") << kLivePassword << true << true;
    QTest::newRow("line break: never sent") << QStringLiteral("Tr1cky\r\nDELE 1") << false << false;
    QTest::newRow("bare LF: never sent") << QStringLiteral("Tr1cky\nDELE 1") << false << false;
}

void TestSecrets::passwordNeverShown()
{
    QFETCH(QString, password);
    QFETCH(bool, echo);
    QFETCH(bool, sent);

    ScriptedPop3Server server;
    QVERIFY(server.listen());
    server.user = "ringlark";
    server.password = password.toUtf8();
    server.messages = mailboxWithTrigger();
    if (echo) {
        server.answerOverride = [](const QByteArray &c) -> std::optional<QByteArray> {
            if (c.startsWith("PASS "))
                return "-ERR [AUTH] Authentication failed for '" + c.mid(5) + "'.\r\n";
            return std::nullopt;
        };
    }
    LiveSession rig(server.address());
    rig.settings.account.password = password;

    const Outputs out = runSession(rig);
    QVERIFY(rig.ended());

    // What went over the wire: the password exactly once, in PASS, or not at all.
    const QByteArray passLine = "PASS " + password.toUtf8();
    QCOMPARE(server.commands.contains(passLine), sent);
    for (const QByteArray &c : std::as_const(server.commands))
        QVERIFY2(!c.contains("DELE"), c.constData());

    // The parts of a password with a line break must not show either.
    const QStringList secrets = password.split(QRegularExpression(QStringLiteral("[\r\n]+")));
    for (const QString &secret : secrets) {
        QVERIFY2(!out.log.contains(secret), qPrintable(out.log));
        QVERIFY(!out.text6.contains(secret));
        for (const QString &box : out.boxes)
            QVERIFY(!box.contains(secret));
        // The traffic view shows only what the server sent; an echo is the server's own text.
        if (!echo)
            QVERIFY(!out.text4.contains(secret));
    }

    if (sent)
        QVERIFY(out.log.contains(QStringLiteral("C: PASS ****")));
    else
        QCOMPARE(out.text6, errorReport(Pop3Error::UnsafeCredential));
    if (echo) {
        QVERIFY(out.text4.contains(QStringLiteral("-ERR [AUTH] Authentication failed")));
        QVERIFY(
            out.log.contains(QStringLiteral("S: -ERR [AUTH] Authentication failed for '****'.")));
    }
    if (sent && !echo)
        QCOMPARE(rig.values.TriggerFlag, TriggerFlag::Start);
}

void TestSecrets::socketErrorBoxHoldsNoPassword()
{
    quint16 port = 0;
    {
        QTcpServer closed; // a port nobody listens on any more
        QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
        port = closed.serverPort();
    }
    LiveSession rig(QStringLiteral("127.0.0.1:") + QString::number(port));
    const Outputs out = runSession(rig);
    QVERIFY(rig.ended());
    QCOMPARE(out.boxes.size(), 1);
    QVERIFY(out.boxes.first().startsWith(QStringLiteral("ERR(")));
    QVERIFY(!out.boxes.first().contains(kLivePassword));
    QVERIFY(!out.text6.contains(kLivePassword));
    QVERIFY(!out.log.contains(kLivePassword));
}

QTEST_GUILESS_MAIN(TestSecrets)
#include "tst_secrets.moc"
