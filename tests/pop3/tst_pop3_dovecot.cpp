#include "dovecot_fixture.h"
#include "live_session.h"
#include "log_capture.h"
#include "sample_mails.h"

#include <QTest>

#include <memory>

using namespace ringlark;
using namespace ringlark::test;

// The session against a real Dovecot with mails like the ones large providers deliver.
class TestPop3Dovecot : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void triggerBelowDkimSignedNewerMail();
    void secondSessionStopsAtKnownNewest();
    void pipelinedWalkFindsMessageOne();

private:
    // Runs one session to its closed connection; `log` gets the client's side of the log.
    void runSession(QString &log);

    std::unique_ptr<DovecotFixture> m_dovecot;
    std::unique_ptr<LiveSession> m_rig;
};

void TestPop3Dovecot::initTestCase()
{
    if (!DovecotFixture::installed())
        QSKIP("dovecot is not installed (scripts/test installs it)");
    DovecotFixture::Options options;
    options.password = kLivePassword;
    m_dovecot = std::make_unique<DovecotFixture>(options);
    QVERIFY2(m_dovecot->start(), qPrintable(m_dovecot->errorText()));

    for (const MailSpec &mailSpec : everydayMailbox())
        QVERIFY(m_dovecot->addMail(realisticMail(mailSpec)));

    m_rig = std::make_unique<LiveSession>(m_dovecot->address());
}

void TestPop3Dovecot::runSession(QString &log)
{
    LogCapture capture("ringlark.pop3");
    m_rig->start();
    QTRY_VERIFY_WITH_TIMEOUT(!m_rig->session.isRunning(), 15000);
    QCOMPARE(m_rig->values.SessionStep, SessionStep::Quit);
    log = capture.joined();
}

void TestPop3Dovecot::triggerBelowDkimSignedNewerMail()
{
    QString log;
    runSession(log);
    if (QTest::currentTestFailed())
        return;
    const QString traffic = m_rig->report.traffic().text();
    QVERIFY2(!traffic.contains(QStringLiteral("-ERR")),
             qPrintable(traffic.right(1000) + m_dovecot->log().right(2000)));
    QVERIFY(m_rig->box.shown.isEmpty());
    QVERIFY(!m_rig->report.results().contains(QStringLiteral("ERR(")));
    // Dovecot pipelines: every request is out before the trigger (message 2) is examined,
    // in the single-spaced form Dovecot accepts.
    QVERIFY(log.contains(QStringLiteral("the server pipelines")));
    for (const char *top : {"C: TOP 4 1", "C: TOP 3 1", "C: TOP 2 1", "C: TOP 1 1"})
        QVERIFY2(log.contains(QLatin1String(top)), top);
    QVERIFY(log.contains(QStringLiteral("C: PASS ****")));
    QVERIFY(!log.contains(m_dovecot->options().password));
    // Newest first: the mails are numbered in the order they were delivered.
    QVERIFY(traffic.indexOf(QStringLiteral("list@lists.example.net")) <
            traffic.indexOf(QStringLiteral("owner@example.jp")));
    // Dovecot answers TOP with a bare "+OK" and stuffs the body line "." as "..".
    QVERIFY(traffic.contains(QStringLiteral("\r\n+OK\r\nReturn-Path:")));
    QVERIFY(traffic.contains(QStringLiteral("\r\n..\r\n.\r\n")));
    QCOMPARE(traffic.count(QString(37, u'-') + QStringLiteral("\r\n")),
             m_rig->report.results().count(QStringLiteral("件名:")));
    QCOMPARE(m_rig->values.TriggerFlag, TriggerFlag::Start);
    QCOMPARE(m_rig->values.TriggerMailDate.value,
             QDateTime(QDate(2004, 9, 25), QTime(9, 0), Qt::UTC));
    QCOMPARE(m_rig->report.results().count(QStringLiteral("件名:")), 3);
    // Message 1's reply was read and dropped; then QUIT.
    QVERIFY(log.contains(QStringLiteral("C: QUIT")));
}

void TestPop3Dovecot::secondSessionStopsAtKnownNewest()
{
    // A session that walks down to message 1 records the newest mail's unique id; the next
    // one, with nothing new, ends at it by UIDL and fetches no header.
    m_rig->settings.rules.fromCheck = true;
    m_rig->settings.rules.fromText = QStringLiteral("nobody@nowhere.invalid");
    QString log;
    runSession(log);
    if (QTest::currentTestFailed())
        return;
    QVERIFY(log.contains(QStringLiteral("C: TOP 1 1")));
    QVERIFY(log.contains(QStringLiteral("C: QUIT")));
    QCOMPARE(m_rig->report.results().count(QStringLiteral("件名:")), 4);
    QVERIFY(!m_rig->session.walkIdentity().isEmpty());
    m_rig->settings.lastUidl = m_rig->session.walkIdentity(); // as the check cycle stores it

    log.clear();
    runSession(log);
    if (QTest::currentTestFailed())
        return;
    QVERIFY(!m_rig->report.traffic().text().contains(QStringLiteral("-ERR")));
    QCOMPARE(m_rig->report.results().count(QStringLiteral("件名:")), 0);
    QVERIFY(log.contains(QStringLiteral("C: UIDL")));
    QVERIFY(!log.contains(QStringLiteral("C: TOP")));
    QVERIFY(log.contains(QStringLiteral("C: QUIT")));
}

void TestPop3Dovecot::pipelinedWalkFindsMessageOne()
{
    // A big mailbox whose only trigger is its oldest mail: the walk goes all the way down,
    // hundreds of requests ahead of the replies.
    DovecotFixture::Options options;
    options.password = kLivePassword;
    DovecotFixture dovecot(options);
    QVERIFY2(dovecot.start(), qPrintable(dovecot.errorText()));
    const QList<MailSpec> everyday = everydayMailbox();
    QVERIFY(dovecot.addMail(realisticMail(everyday.at(1))));
    const int count = 2000;
    for (int n = 2; n <= count; ++n) {
        MailSpec mail = everyday.at(n % 2 ? 0 : 2);
        mail.subject += " " + QByteArray::number(n);
        QVERIFY(dovecot.addMail(realisticMail(mail)));
    }
    LiveSession rig(dovecot.address());
    LogCapture capture("ringlark.pop3");
    rig.start();
    QTRY_VERIFY_WITH_TIMEOUT(rig.ended(), 120000);
    const QString log = capture.joined();
    QVERIFY2(!rig.report.results().contains(QStringLiteral("ERR(")),
             qPrintable(rig.report.results().right(500)));
    QCOMPARE(rig.report.results().count(QStringLiteral("件名:")), count);
    QCOMPARE(rig.values.TriggerFlag, TriggerFlag::Start);
    QCOMPARE(rig.values.TriggerFoundDate, QDateTime(QDate(2004, 9, 25), QTime(9, 0), Qt::UTC));
    // Far more requests went out before the first header arrived than one at a time allows.
    const qsizetype firstHeader = log.indexOf(QStringLiteral("S: Return-Path:"));
    QVERIFY(firstHeader > 0);
    QVERIFY2(log.left(firstHeader).count(QStringLiteral("C: TOP ")) > 100,
             qPrintable(log.left(2000)));
    QVERIFY(log.contains(QStringLiteral("C: QUIT")));
}

QTEST_GUILESS_MAIN(TestPop3Dovecot)
#include "tst_pop3_dovecot.moc"
