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
    QDBusConnection m_connection{QString()};

private slots:
    void initTestCase()
    {
#ifdef NO_BUS
        // As the program meets it: the system bus, unreachable.
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/ringlark-no-bus");
        m_connection = QDBusConnection::systemBus();
#else
        QVERIFY2(m_bus.start(false), qPrintable(m_bus.errorText()));
        m_connection = m_bus.bus();
#endif
    }

    void everythingFailsCleanly()
    {
        NetworkManagerProvider provider(m_connection, fakeTimers()); // the bound never passes
        WinInet inet(provider);
        QCOMPARE(test::answerOf<QStringList>([&](auto done) { inet.ListDUNsLater(done); }),
                 std::optional(QStringList()));
        QCOMPARE(test::remoteToEnd(provider), std::optional(false));
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(test::startDUNToEnd(inet, QStringLiteral("Office VPN")),
                 qint32(result::ServiceNotRunning));
        qInfo("dial without NetworkManager ended after %lld ms", clock.elapsed());
        QVERIFY(!provider.listProblem().isEmpty());
        QCOMPARE(inet.hConnection(), DialUpProvider::Handle(0));
        QCOMPARE(test::hangUpToEnd(inet), -1);
        QCOMPARE(test::hangUpToEnd(provider, 1), qint32(result::NotActive));
    }
};

QTEST_GUILESS_MAIN(TestNetworkManagerAbsent)
#include "tst_networkmanager_absent.moc"
