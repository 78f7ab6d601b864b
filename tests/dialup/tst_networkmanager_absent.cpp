// NetworkManager missing: a bus without it (NO_BUS undefined), or no bus at all (NO_BUS).
// Either way the list is empty, a dial says "service not running" at once, nothing crashes.

#include "dial_to_end.h"
#include "dialup_connection.h"
#include "dialup_result.h"
#include "fake_timer.h"
#include "networkmanager_provider.h"
#include "nm_mock.h"

#include <QElapsedTimer>
#include <QTest>

using namespace ringlark;
using ringlark::test::fake;
using ringlark::test::fakeTimers;
namespace result = ringlark::dialup;

class TestNetworkManagerAbsent : public QObject
{
    Q_OBJECT

private:
    test::NetworkManagerMock m_bus;

private slots:
    void initTestCase()
    {
#ifdef NO_BUS
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/ringlark-no-bus");
#else
        QVERIFY2(m_bus.start(false), qPrintable(m_bus.errorText()));
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", m_bus.busAddress().toUtf8());
#endif
    }

    void everythingFailsCleanly()
    {
        NetworkManagerProvider provider(fakeTimers()); // the bound never passes here
        QVERIFY(provider.listEntries().isEmpty());
        QCOMPARE(provider.remoteConnected(), false);

        DialUpProvider::Handle handle = 0;
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(test::dialToEnd(provider, QStringLiteral("Office VPN"), handle),
                 qint32(result::ServiceNotRunning));
        qInfo("dial without NetworkManager ended after %lld ms", clock.elapsed());
        QVERIFY(!provider.listProblem().isEmpty());
        QCOMPARE(handle, DialUpProvider::Handle(0));
        QCOMPARE(provider.hangUp(1), qint32(result::NotActive));
    }

    void winInetStaysIdle()
    {
        NetworkManagerProvider provider(fakeTimers());
        WinInet inet(provider);
        QStringList entries{QStringLiteral("stale")};
        inet.ListDUNs(entries);
        QVERIFY(entries.isEmpty());
        QCOMPARE(test::startDUNToEnd(inet, QStringLiteral("Office VPN")),
                 qint32(result::ServiceNotRunning));
        QCOMPARE(inet.hConnection(), DialUpProvider::Handle(0));
        QCOMPARE(inet.HangUp(), -1);
    }
};

QTEST_GUILESS_MAIN(TestNetworkManagerAbsent)
#include "tst_networkmanager_absent.moc"
