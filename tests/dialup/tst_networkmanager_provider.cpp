#include "dial_to_end.h"
#include "dialup_connection.h"
#include "dialup_result.h"
#include "fake_timer.h"
#include "networkmanager_provider.h"
#include "nm_mock.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace ringlark;
using ringlark::test::fake;
using ringlark::test::fakeTimers;
using namespace std::chrono_literals;
using ringlark::test::NetworkManagerMock;
using ringlark::test::dialToEnd;
using ringlark::test::startDUNToEnd;
namespace result = ringlark::dialup;

namespace {
const QString kVpn = QStringLiteral("Office VPN");
const QString kPppoe = QStringLiteral("フレッツ 光");
const QString kEthernet = QStringLiteral("有線接続 1");
const QString kSlow = QStringLiteral("Slow modem");
const QString kFailing = QStringLiteral("Wrong password");
const QString kHanging = QStringLiteral("Never answers");
const QString kAlreadyUp = QStringLiteral("Already up");
const QString kBtDun = QStringLiteral("Phone DUN");
const QString kBtPan = QStringLiteral("Phone PAN");
const QString kNotAllowed = QStringLiteral("Not allowed");
const QString kNoDevice = QStringLiteral("No modem");
constexpr quint32 kActivated = 2;

} // namespace

class TestNetworkManagerProvider : public QObject
{
    Q_OBJECT

private:
    NetworkManagerMock m_nm;
    QString m_presetActive;
    std::unique_ptr<NetworkManagerProvider> m_provider;

private slots:
    void initTestCase()
    {
        using P = NetworkManagerMock::Profile;
        m_nm.addProfile(P{kVpn, QStringLiteral("vpn")});
        m_nm.addProfile(P{kPppoe, QStringLiteral("pppoe")});
        m_nm.addProfile(P{kEthernet, QStringLiteral("802-3-ethernet")});
        m_nm.addProfile(P{kSlow, QStringLiteral("gsm"), {}, false, false, false, 150});
        m_nm.addProfile(P{kFailing, QStringLiteral("vpn"), 10u});
        m_nm.addProfile(P{kHanging, QStringLiteral("cdma"), {}, true});
        m_nm.addProfile(P{kAlreadyUp, QStringLiteral("802-3-ethernet"), {}, false, true});
        m_nm.addProfile(P{kBtDun, QStringLiteral("bluetooth"), {}, false, false, true});
        m_nm.addProfile(P{kBtPan, QStringLiteral("bluetooth")});
        P notAllowed{kNotAllowed, QStringLiteral("vpn")};
        notAllowed.activateError =
            QStringLiteral("org.freedesktop.NetworkManager.PermissionDenied");
        m_nm.addProfile(notAllowed);
        P noDevice{kNoDevice, QStringLiteral("gsm")};
        noDevice.activateError = QStringLiteral("org.freedesktop.NetworkManager.UnknownDevice");
        m_nm.addProfile(noDevice);
        QVERIFY2(m_nm.start(), qPrintable(m_nm.errorText()));
        const QStringList active = m_nm.activeConnections();
        QCOMPARE(active.size(), 1);
        m_presetActive = active.constFirst();
    }

    void init()
    {
        m_provider = std::make_unique<NetworkManagerProvider>(m_nm.bus(), fakeTimers());
        m_nm.clearCalls();
    }

    void cleanup()
    {
        m_provider.reset();
        // Leave only the preset connection up for the next case.
        for (const QString &path : m_nm.activeConnections())
            if (path != m_presetActive)
                m_nm.deactivate(path);
    }

    void listsProfilesInNetworkManagerOrder()
    {
        QCOMPARE(test::listToEnd(*m_provider),
                 std::optional(QStringList{kVpn, kPppoe, kEthernet, kSlow, kFailing, kHanging,
                                           kAlreadyUp, kBtDun, kBtPan, kNotAllowed, kNoDevice}));
        QVERIFY(m_provider->listProblem().isEmpty());
    }

    void dialActivatesTheNamedProfile_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::newRow("state change right after the reply") << kVpn;
        QTest::newRow("state change 150 ms later") << kSlow;
        QTest::newRow("Japanese name") << kPppoe;
    }

    void dialActivatesTheNamedProfile()
    {
        QFETCH(QString, entry);
        DialUpProvider::Handle handle = 0;
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(dialToEnd(*m_provider, entry, handle), qint32(result::Success));
        qInfo("dial of %s took %lld ms", qPrintable(entry), clock.elapsed());
        QVERIFY(handle != 0);

        const auto calls = m_nm.methodCalls(QStringLiteral("ActivateConnection"));
        QCOMPARE(calls.size(), 1);
        QCOMPARE(calls.at(0).args,
                 (QVariantList{m_nm.profilePath(entry), QStringLiteral("/"), QStringLiteral("/")}));
        const QString active = m_provider->activeConnectionPath(handle);
        QVERIFY(m_nm.activeConnections().contains(active));
        QCOMPARE(m_nm.activeState(active), std::optional<quint32>(kActivated));
    }

    void anAbandonedDialReportsNothing()
    {
        QSignalSpy finished(m_provider.get(), &DialUpProvider::dialFinished);
        m_provider->startDial(0, kSlow);
        m_provider->abandonDial();
        // A later dial reports only its own result.
        DialUpProvider::Handle handle = 0;
        QCOMPARE(dialToEnd(*m_provider, kVpn, handle), qint32(result::Success));
        QCOMPARE(finished.size(), 1);
    }

    void dialFailsWithNetworkManagersReason()
    {
        DialUpProvider::Handle handle = 0;
        QCOMPARE(dialToEnd(*m_provider, kFailing, handle), qint32(10));
        QCOMPARE(handle, DialUpProvider::Handle(0));
        QCOMPARE(m_nm.methodCalls(QStringLiteral("ActivateConnection")).size(), 1);
    }

    void refusedActivation_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<qint32>("expected");
        QTest::newRow("permission") << kNotAllowed << qint32(result::PermissionDenied);
        QTest::newRow("device") << kNoDevice << qint32(result::UnknownDevice);
    }

    void refusedActivation()
    {
        QFETCH(QString, entry);
        QFETCH(qint32, expected);
        DialUpProvider::Handle handle = 0;
        QCOMPARE(dialToEnd(*m_provider, entry, handle), expected);
        QCOMPARE(handle, DialUpProvider::Handle(0));
        // The refused dial leaves nothing behind that would confuse the next one.
        QCOMPARE(dialToEnd(*m_provider, kVpn, handle), qint32(result::Success));
    }

    void unknownProfileIsNotActivated()
    {
        DialUpProvider::Handle handle = 0;
        QCOMPARE(dialToEnd(*m_provider, QStringLiteral("office vpn"), handle),
                 qint32(result::UnknownConnection));
        QCOMPARE(handle, DialUpProvider::Handle(0));
        QVERIFY(m_nm.methodCalls(QStringLiteral("ActivateConnection")).isEmpty());
    }

    void hangUpThenHangUpAgain()
    {
        DialUpProvider::Handle handle = 0, next = 0;
        QCOMPARE(dialToEnd(*m_provider, kVpn, handle), qint32(result::Success));
        const QString active = m_provider->activeConnectionPath(handle);

        QCOMPARE(test::hangUpToEnd(*m_provider, handle), qint32(result::Success));
        const auto calls = m_nm.methodCalls(QStringLiteral("DeactivateConnection"));
        QCOMPARE(calls.size(), 1);
        QCOMPARE(calls.at(0).args, QVariantList{active});
        QVERIFY(!m_nm.activeConnections().contains(active));

        QCOMPARE(test::hangUpToEnd(*m_provider, handle), qint32(result::NotActive));
        QCOMPARE(m_nm.methodCalls(QStringLiteral("DeactivateConnection")).size(), 1);
        // Handles are not reused: the old one names nothing after the next dial either.
        QCOMPARE(dialToEnd(*m_provider, kVpn, next), qint32(result::Success));
        QVERIFY(next != handle);
        QCOMPARE(test::hangUpToEnd(*m_provider, handle), qint32(result::NotActive));
        QVERIFY(m_nm.activeConnections().contains(m_provider->activeConnectionPath(next)));
    }

    void handlesOfConnectionsGoneMeanwhile()
    {
        DialUpProvider::Handle first = 0, second = 0;
        QCOMPARE(dialToEnd(*m_provider, kVpn, first), qint32(result::Success));
        m_nm.deactivate(m_provider->activeConnectionPath(first)); // a line that dropped
        QCOMPARE(dialToEnd(*m_provider, kVpn, second), qint32(result::Success));
        // Forgotten by the next dial, which saw it gone.
        QVERIFY(m_provider->activeConnectionPath(first).isEmpty());
        QCOMPARE(test::hangUpToEnd(*m_provider, first), qint32(result::NotActive));
        // Still known, but taken down by someone else: its hang-up finds it gone.
        m_nm.deactivate(m_provider->activeConnectionPath(second));
        QCOMPARE(test::hangUpToEnd(*m_provider, second), qint32(result::NotActive));
    }

    void winInetOverNetworkManager()
    {
        WinInet inet(*m_provider);
        const auto entries =
            test::answerOf<QStringList>([&](auto done) { inet.ListDUNsLater(done); });
        QCOMPARE(entries.value_or(QStringList()).value(1), kPppoe);
        QCOMPARE(startDUNToEnd(inet, kPppoe), 0);
        QCOMPARE(startDUNToEnd(inet, kPppoe), -1); // connected, and by us
        QCOMPARE(test::hangUpToEnd(inet), 0);
        QCOMPARE(test::hangUpToEnd(inet), -1);
        QCOMPARE(test::remoteToEnd(*m_provider), std::optional(false));
    }

    void remoteConnectionTest_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<bool>("remote");
        QTest::newRow("VPN") << kVpn << true;
        QTest::newRow("PPPoE") << kPppoe << true;
        QTest::newRow("GSM") << kSlow << true;
        QTest::newRow("Ethernet") << kEthernet << false;
        QTest::newRow("Bluetooth DUN") << kBtDun << true;
        QTest::newRow("Bluetooth PAN") << kBtPan << false;
    }

    void remoteConnectionTest()
    {
        QFETCH(QString, entry);
        QFETCH(bool, remote);
        // The preset connection is Ethernet: up, but not remote.
        QCOMPARE(test::remoteToEnd(*m_provider), std::optional(false));
        DialUpProvider::Handle handle = 0;
        QCOMPARE(dialToEnd(*m_provider, entry, handle), qint32(result::Success));
        QCOMPARE(test::remoteToEnd(*m_provider), std::optional(remote));
        QCOMPARE(test::hangUpToEnd(*m_provider, handle), qint32(result::Success));
        QCOMPARE(test::remoteToEnd(*m_provider), std::optional(false));
    }

    void activeProfileIsAdoptedNotReactivated()
    {
        DialUpProvider::Handle handle = 0;
        QCOMPARE(dialToEnd(*m_provider, kAlreadyUp, handle), qint32(result::Success));
        QVERIFY(handle != 0);
        QCOMPARE(m_provider->activeConnectionPath(handle), m_presetActive);
        QVERIFY(m_nm.methodCalls(QStringLiteral("ActivateConnection")).isEmpty());
        QCOMPARE(m_nm.activeState(m_presetActive), std::optional<quint32>(kActivated));
    }

    void activationUnderWayIsJoined()
    {
        const QString active = m_nm.activate(kSlow); // another client started it
        QVERIFY(!active.isEmpty());
        DialUpProvider::Handle handle = 0;
        QCOMPARE(dialToEnd(*m_provider, kSlow, handle), qint32(result::Success));
        QCOMPARE(m_provider->activeConnectionPath(handle), active);
        QCOMPARE(m_nm.methodCalls(QStringLiteral("ActivateConnection")).size(), 1);
    }

    void dialGivesUpAtTheBound()
    {
        NetworkManagerProvider provider(m_nm.bus(), fakeTimers());
        QSignalSpy finished(&provider, &DialUpProvider::dialFinished);
        provider.startDial(0, kHanging);
        QCOMPARE(fake(provider.dialBound()).interval, 90000);
        QTRY_COMPARE(m_nm.methodCalls(QStringLiteral("ActivateConnection")).size(), 1);
        QVERIFY(fake(provider.dialBound()).fire());
        QVERIFY(finished.wait());
        QCOMPARE(finished.constFirst().at(0).toInt(), qint32(result::TimedOut));
        QCOMPARE(finished.constFirst().at(1).value<quintptr>(), quintptr(0));
        // The attempt is called off, so it cannot come up behind the reported failure.
        QTRY_COMPARE(m_nm.methodCalls(QStringLiteral("DeactivateConnection")).size(), 1);
        QTRY_COMPARE(m_nm.activeConnections(), QStringList{m_presetActive});
    }
};

QTEST_GUILESS_MAIN(TestNetworkManagerProvider)
#include "tst_networkmanager_provider.moc"
