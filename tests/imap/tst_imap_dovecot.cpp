#include "app_rig.h"
#include "dovecot_fixture.h"
#include "imap_session.h"
#include "live_session.h"
#include "log_capture.h"
#include "sample_mails.h"

#include <QDir>
#include <QTest>

using namespace ringlark;
using namespace ringlark::test;

// The whole program core against a real Dovecot over imap://, with an interval of an hour:
// every check comes from the server's push. A trigger delivered into the Maildir dials; a
// restart of the server during IDLE is logged once and once more when the IDLE is back; no
// mail is ever marked \Seen.
class TestImapDovecot : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void pushedTriggerDials();
    void serverRestartDuringIdle();
    void cleanupTestCase();

private:
    std::unique_ptr<DovecotFixture> m_dovecot;
    std::unique_ptr<LogCapture> m_capture;
    std::unique_ptr<AppRig> m_rig;
};

void TestImapDovecot::initTestCase()
{
    if (!DovecotFixture::installed())
        QSKIP("dovecot is not installed (scripts/test installs it)");
    qputenv("TZ", "Asia/Tokyo"); // the zone the stored dates are written in
    DovecotFixture::Options options;
    options.password = kLivePassword;
    m_dovecot = std::make_unique<DovecotFixture>(options);
    QVERIFY2(m_dovecot->start(), qPrintable(m_dovecot->errorText()));
    const QList<MailSpec> everyday = everydayMailbox();
    for (const int i : {0, 2, 3}) // all but the trigger
        QVERIFY(m_dovecot->addMail(realisticMail(everyday.at(i))));

    m_capture = std::make_unique<LogCapture>("ringlark.log");
    m_rig = std::make_unique<AppRig>(
        AppRig::Options{.stored = {{QStringLiteral("POP3SERVER"), m_dovecot->imapAddress()},
                                   {QStringLiteral("USERNAME"), QStringLiteral("ringlark")},
                                   {QStringLiteral("PASSWORD"), kLivePassword},
                                   {QStringLiteral("FROM"), QStringLiteral("owner@example.jp")},
                                   {QStringLiteral("FROM_CHECK"), QStringLiteral("1")},
                                   {QStringLiteral("SUBJECT"), QStringLiteral("please dial")},
                                   {QStringLiteral("SUBJECT_CHECK"), QStringLiteral("1")},
                                   {QStringLiteral("DIALUPNETWORK"), QStringLiteral("Office VPN")},
                                   {QStringLiteral("TIMEINTERVAL"), QStringLiteral("3600")},
                                   {QStringLiteral("AUTOSTART"), QStringLiteral("1")}},
                        .entries = {QStringLiteral("Office VPN")}});
    // Monitoring starts with a check at once, which walks the mailbox and idles.
    QTRY_VERIFY_WITH_TIMEOUT(m_rig->core->imapSession().idling(), 15000);
    // The walk's end is stored by the check cycle, which may hear of it after the idle began.
    QTRY_VERIFY(m_rig->fakes.store.values.value(QStringLiteral("LASTUID")).endsWith(u"/3"));
    QVERIFY(m_rig->fakes.dialUp.dials.isEmpty());
}

void TestImapDovecot::pushedTriggerDials()
{
    QVERIFY(m_dovecot->addMail(realisticMail(everydayMailbox().at(1))));
    QTRY_COMPARE_WITH_TIMEOUT(m_rig->fakes.dialUp.dials.size(), 1, 10000);
    QTRY_VERIFY(m_rig->core->imapSession().idling());
    QCOMPARE(m_rig->fakes.store.values.value(QStringLiteral("LASTDATE")),
             QStringLiteral("2004/09/25 09:00:00"));
    QVERIFY(m_rig->fakes.store.values.value(QStringLiteral("LASTUID")).endsWith(u"/4"));

    // Read-only: every mail is still unseen (Maildir flags after ":2,").
    const QDir cur(m_dovecot->maildir() + QStringLiteral("/cur"));
    for (const QString &name : cur.entryList(QDir::Files))
        QVERIFY2(!name.section(QStringLiteral(":2,"), 1).contains(u'S'), qPrintable(name));
}

void TestImapDovecot::serverRestartDuringIdle()
{
    const qsizetype before = m_capture->messages.size();
    const auto count = [&](const QString &text) {
        return m_capture->messages.mid(before).filter(text).size();
    };
    m_dovecot->stop();
    // How soon the lost connection shows depends on Dovecot's shutdown: up to 16 s was seen
    // with sanitizers on a loaded machine.
    QTRY_COMPARE_WITH_TIMEOUT(count(QStringLiteral("接続が切れました")), 1, 30000);
    QVERIFY(m_dovecot->start());
    QTRY_VERIFY_WITH_TIMEOUT(m_rig->core->imapSession().idling(), 30000);
    QTRY_COMPARE(count(QStringLiteral("確認ができるようになりました")), 1);
    QCOMPARE(count(QStringLiteral("接続が切れました")), 1);

    // Push works again: a newer trigger is acted on.
    MailSpec later = everydayMailbox().at(1);
    later.date = "Mon, 27 Sep 2004 09:00:00 +0900";
    QVERIFY(m_dovecot->addMail(realisticMail(later)));
    QTRY_COMPARE_WITH_TIMEOUT(m_rig->fakes.store.values.value(QStringLiteral("LASTDATE")),
                              QStringLiteral("2004/09/27 09:00:00"), 10000);
}

void TestImapDovecot::cleanupTestCase()
{
    if (m_rig)
        m_rig->core->checkCycle().stopCommand();
    m_rig.reset();
}

QTEST_GUILESS_MAIN(TestImapDovecot)
#include "tst_imap_dovecot.moc"
