#include "fake_dialup_provider.h"
#include "dialup_connection.h"

#include <QSignalSpy>
#include <QTest>

#include <memory>

using namespace ringlark;
using ringlark::test::FakeDialUpProvider;

class TestWinInet : public QObject
{
    Q_OBJECT

private:
    FakeDialUpProvider m_provider;
    std::unique_ptr<WinInet> m_inet;
    QStringList m_order; // events and returns, as they happened

    void record(const QString &what) { m_order.append(what); }

private slots:
    void init()
    {
        m_provider = FakeDialUpProvider();
        m_inet = std::make_unique<WinInet>(m_provider);
        m_order.clear();
        connect(m_inet.get(), &WinInet::ConnectionMade, this,
                [this] { record(QStringLiteral("made")); });
        connect(m_inet.get(), &WinInet::ConnectionClosed, this,
                [this] { record(QStringLiteral("closed")); });
    }

    void hangUpRightAfterConstruction()
    {
        QCOMPARE(m_inet->hConnection(), DialUpProvider::Handle(0));
        QCOMPARE(m_inet->DisconnectOnTerminate(), false);
        QCOMPARE(m_inet->HangUp(), -1);
        QVERIFY(m_provider.hangUps.isEmpty());
        QVERIFY(m_order.isEmpty());
    }

    void failedDialThenHangUp()
    {
        m_provider.dialResult = 623;
        QCOMPARE(m_inet->StartDUN(0x5678, QStringLiteral("ISP")), 623);
        QCOMPARE(m_inet->hConnection(), DialUpProvider::Handle(0));
        QCOMPARE(m_provider.dials.size(), 1);
        QCOMPARE(m_provider.dials.at(0).parentWindow, quintptr(0x5678));
        QCOMPARE(m_provider.dials.at(0).entry, QStringLiteral("ISP"));
        QCOMPARE(m_inet->HangUp(), -1);
        QVERIFY(m_provider.hangUps.isEmpty());
        QVERIFY(m_order.isEmpty());
    }

    void successfulDialThenTwoHangUps()
    {
        // Wider than 32 bits where pointers are: a DWORD_PTR from InternetDial must survive.
        const auto wide = static_cast<DialUpProvider::Handle>(
            sizeof(quintptr) > 4 ? Q_UINT64_C(0x1234567890) : 0x12345678u);
        m_provider.nextHandle = wide;
        record(QStringLiteral("dial"));
        QCOMPARE(m_inet->StartDUN(0, QStringLiteral("会社")), 0);
        record(QStringLiteral("dial returned"));
        QCOMPARE(m_inet->hConnection(), wide);

        m_provider.hangUpResult = 0;
        QCOMPARE(m_inet->HangUp(), 0);
        record(QStringLiteral("hang-up returned"));
        QCOMPARE(m_provider.hangUps, QList<DialUpProvider::Handle>{wide});
        QCOMPARE(m_inet->hConnection(), DialUpProvider::Handle(0));

        QCOMPARE(m_inet->HangUp(), -1);
        QCOMPARE(m_provider.hangUps.size(), 1);
        // Each event once, and handled before the call that raised it returned.
        QCOMPARE(m_order, (QStringList{QStringLiteral("dial"), QStringLiteral("made"),
                                       QStringLiteral("dial returned"), QStringLiteral("closed"),
                                       QStringLiteral("hang-up returned")}));
    }

    void failingHangUpStillClearsTheHandle()
    {
        QCOMPARE(m_inet->StartDUN(0, QStringLiteral("ISP")), 0);
        m_provider.hangUpResult = 5;
        QCOMPARE(m_inet->HangUp(), 5);
        QCOMPARE(m_inet->hConnection(), DialUpProvider::Handle(0));
        QCOMPARE(m_order, (QStringList{QStringLiteral("made"), QStringLiteral("closed")}));
        QCOMPARE(m_inet->HangUp(), -1);
    }

    void connectedButNoOwnHandleDialsAnyway()
    {
        // A connection another program made is not ours to report as "already connected".
        m_provider.remote = true;
        QCOMPARE(m_inet->Connected(), true);
        QCOMPARE(m_inet->StartDUN(0, QStringLiteral("ISP")), 0);
        QCOMPARE(m_provider.dials.size(), 1);
        QCOMPARE(m_inet->hConnection(), m_provider.nextHandle);
    }

    void ownHandleButNotConnectedDialsAgain()
    {
        QCOMPARE(m_inet->StartDUN(0, QStringLiteral("ISP")), 0);
        m_provider.nextHandle = 0x9999;
        m_provider.remote = false;
        QCOMPARE(m_inet->Connected(), false);
        QCOMPARE(m_inet->StartDUN(0, QStringLiteral("ISP")), 0);
        QCOMPARE(m_provider.dials.size(), 2);
        QCOMPARE(m_inet->hConnection(), DialUpProvider::Handle(0x9999));
        // The old handle is replaced, not hung up.
        QVERIFY(m_provider.hangUps.isEmpty());
    }

    void ownHandleAndConnectedDoesNothing()
    {
        QCOMPARE(m_inet->StartDUN(0, QStringLiteral("ISP")), 0);
        m_provider.remote = true;
        QCOMPARE(m_inet->StartDUN(0, QStringLiteral("ISP")), -1);
        QCOMPARE(m_provider.dials.size(), 1);
        QCOMPARE(m_inet->hConnection(), m_provider.nextHandle);
        QCOMPARE(m_order, QStringList{QStringLiteral("made")});
    }

    void destruction_data()
    {
        QTest::addColumn<bool>("disconnectOnTerminate");
        QTest::addColumn<bool>("dialled");
        QTest::addColumn<bool>("hangsUp");
        QTest::newRow("default leaves the connection up") << false << true << false;
        QTest::newRow("DisconnectOnTerminate hangs up") << true << true << true;
        QTest::newRow("nothing to hang up") << true << false << false;
    }

    void destruction()
    {
        QFETCH(bool, disconnectOnTerminate);
        QFETCH(bool, dialled);
        QFETCH(bool, hangsUp);
        if (dialled)
            QCOMPARE(m_inet->StartDUN(0, QStringLiteral("ISP")), 0);
        m_inet->setDisconnectOnTerminate(disconnectOnTerminate);
        QCOMPARE(m_inet->DisconnectOnTerminate(), disconnectOnTerminate);
        m_order.clear();
        m_inet.reset();
        QCOMPARE(m_provider.hangUps, hangsUp ? QList<DialUpProvider::Handle>{m_provider.nextHandle}
                                             : QList<DialUpProvider::Handle>{});
        QVERIFY(m_order.isEmpty()); // no event from the destructor
    }

    void listDUNsReplacesTheCallersList()
    {
        QStringList list{QStringLiteral("stale")};
        m_inet->ListDUNs(list);
        QVERIFY(list.isEmpty());

        m_provider.entries = {QStringLiteral("zeta"), QStringLiteral("会社"),
                              QStringLiteral("alpha"), QStringLiteral("zeta")};
        m_inet->ListDUNs(list);
        QCOMPARE(list, m_provider.entries); // platform order, nothing sorted or merged
    }
};

QTEST_GUILESS_MAIN(TestWinInet)
#include "tst_dialup_connection.moc"
