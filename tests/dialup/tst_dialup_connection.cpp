#include "dial_to_end.h"
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
    std::unique_ptr<FakeDialUpProvider> m_fake;
    std::unique_ptr<WinInet> m_inet;
    QStringList m_order; // events and results, as they happened

    void record(const QString &what) { m_order.append(what); }

    qint32 StartDUN(quintptr hWnd, const QString &entry)
    {
        return test::startDUNToEnd(*m_inet, entry, hWnd);
    }

private slots:
    void init()
    {
        m_inet.reset();
        m_fake = std::make_unique<FakeDialUpProvider>();
        m_inet = std::make_unique<WinInet>(*m_fake);
        m_order.clear();
        connect(m_inet.get(), &WinInet::ConnectionMade, this,
                [this] { record(QStringLiteral("made")); });
        connect(m_inet.get(), &WinInet::ConnectionClosed, this,
                [this] { record(QStringLiteral("closed")); });
        connect(m_inet.get(), &WinInet::StartDUNFinished, this,
                [this](qint32 r) { record(QString::number(r)); });
    }

    void hangUpRightAfterConstructionAndAfterAFailedDial()
    {
        QCOMPARE(m_inet->hConnection(), DialUpProvider::Handle(0));
        QCOMPARE(m_inet->DisconnectOnTerminate(), false);
        QCOMPARE(test::hangUpToEnd(*m_inet), -1);
        QVERIFY(m_order.isEmpty());
        m_fake->dialResult = 623;
        QCOMPARE(StartDUN(0x5678, QStringLiteral("ISP")), 623);
        QCOMPARE(m_inet->hConnection(), DialUpProvider::Handle(0));
        QCOMPARE(m_fake->dials.size(), 1);
        QCOMPARE(m_fake->dials.at(0).parentWindow, quintptr(0x5678));
        QCOMPARE(m_fake->dials.at(0).entry, QStringLiteral("ISP"));
        QCOMPARE(test::hangUpToEnd(*m_inet), -1);
        QVERIFY(m_fake->hangUps.isEmpty());
        QCOMPARE(m_order, QStringList{QStringLiteral("623")});
    }

    void aDialUnderWayIsJoinedOrAbandoned()
    {
        m_fake->holdDials = true;
        m_inet->StartDUN(0, QStringLiteral("ISP"));
        m_inet->StartDUN(0, QStringLiteral("ISP")); // from the menu, while the check dials
        QCOMPARE(m_fake->dials.size(), 1);
        m_fake->finishDial();
        QCOMPARE(m_order, (QStringList{QStringLiteral("made"), QStringLiteral("0")}));

        QCOMPARE(test::hangUpToEnd(*m_inet), 0);
        m_order.clear();
        m_inet->StartDUN(0, QStringLiteral("ISP"));
        m_inet->abandonDial(); // the program is ending
        QCOMPARE(m_fake->abandoned, 1);
        QVERIFY(!m_inet->dialling());
        m_fake->finishDial();
        QVERIFY(m_order.isEmpty());
    }

    void successfulDialThenTwoHangUps_data()
    {
        QTest::addColumn<qint32>("hangUpResult");
        QTest::newRow("hung up") << 0;
        QTest::newRow("hang-up fails: the handle is cleared all the same") << 5;
    }

    void successfulDialThenTwoHangUps()
    {
        QFETCH(qint32, hangUpResult);
        // Wider than 32 bits where pointers are: a DWORD_PTR from InternetDial must survive.
        const auto wide = static_cast<DialUpProvider::Handle>(
            sizeof(quintptr) > 4 ? Q_UINT64_C(0x1234567890) : 0x12345678u);
        m_fake->nextHandle = wide;
        record(QStringLiteral("dial"));
        QCOMPARE(StartDUN(0, QStringLiteral("会社")), 0);
        QCOMPARE(m_inet->hConnection(), wide);

        m_fake->hangUpResult = hangUpResult;
        QCOMPARE(test::hangUpToEnd(*m_inet), hangUpResult);
        record(QStringLiteral("hang-up returned"));
        QCOMPARE(m_fake->hangUps, QList<DialUpProvider::Handle>{wide});
        QCOMPARE(m_inet->hConnection(), DialUpProvider::Handle(0));

        QCOMPARE(test::hangUpToEnd(*m_inet), -1);
        QCOMPARE(m_fake->hangUps.size(), 1);
        // Each event once, and handled before the answer of the call that raised it.
        QCOMPARE(m_order, (QStringList{QStringLiteral("dial"), QStringLiteral("made"),
                                       QStringLiteral("0"), QStringLiteral("closed"),
                                       QStringLiteral("hang-up returned")}));
    }

    void dialAgain_data()
    {
        QTest::addColumn<bool>("ownHandle");
        QTest::addColumn<bool>("remote");
        QTest::addColumn<qint32>("result");
        // A connection another program made is not ours to report as "already connected".
        QTest::newRow("connected, but no own handle: dials") << false << true << 0;
        QTest::newRow("own handle, not connected: dials again") << true << false << 0;
        QTest::newRow("own handle and connected: does nothing") << true << true << -1;
    }

    void dialAgain()
    {
        QFETCH(bool, ownHandle);
        QFETCH(bool, remote);
        QFETCH(qint32, result);
        if (ownHandle)
            QCOMPARE(StartDUN(0, QStringLiteral("ISP")), 0);
        const DialUpProvider::Handle before = m_inet->hConnection();
        m_fake->nextHandle = 0x9999;
        m_fake->remote = remote;
        QCOMPARE(StartDUN(0, QStringLiteral("ISP")), result);
        QCOMPARE(m_fake->dials.size(), int(ownHandle) + int(result == 0));
        QCOMPARE(m_inet->hConnection(), result == 0 ? DialUpProvider::Handle(0x9999) : before);
        QCOMPARE(m_order.count(QStringLiteral("made")), m_fake->dials.size());
        QCOMPARE(m_order.last(), QString::number(result));
        // An old handle is replaced, not hung up.
        QVERIFY(m_fake->hangUps.isEmpty());
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
            QCOMPARE(StartDUN(0, QStringLiteral("ISP")), 0);
        m_inet->setDisconnectOnTerminate(disconnectOnTerminate);
        QCOMPARE(m_inet->DisconnectOnTerminate(), disconnectOnTerminate);
        m_order.clear();
        m_inet.reset();
        QCOMPARE(m_fake->hangUps, hangsUp ? QList<DialUpProvider::Handle>{m_fake->nextHandle}
                                             : QList<DialUpProvider::Handle>{});
        QVERIFY(m_order.isEmpty()); // no event from the destructor
    }

    void listDUNsReplacesTheCallersList()
    {
        const auto list = [this] {
            return test::answerOf<QStringList>([this](auto done) { m_inet->ListDUNsLater(done); });
        };
        QCOMPARE(list(), std::optional(QStringList()));
        m_fake->entries = {QStringLiteral("zeta"), QStringLiteral("会社"),
                              QStringLiteral("alpha"), QStringLiteral("zeta")};
        QCOMPARE(list(), std::optional(m_fake->entries)); // platform order, nothing sorted or merged
    }
};

QTEST_GUILESS_MAIN(TestWinInet)
#include "tst_dialup_connection.moc"
