#include "fake_program_launcher.h"
#include "fake_registry.h"
#include "fakes.h"
#include "sys_info.h"

#include <QTest>

using namespace ringlark;
using namespace ringlark::test;

namespace {
constexpr auto HKLM = Registry::Root::LocalMachine;
const QByteArray infoKey = QByteArrayLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
const QByteArray locationKey = QByteArrayLiteral("SOFTWARE\\Microsoft\\Shared Tools Location");
const QByteArray someKey = QByteArrayLiteral("SOFTWARE\\Test");

QByteArray dword(quint32 v)
{
    QByteArray out;
    for (int i = 0; i < 4; ++i)
        out.append(static_cast<char>((v >> (8 * i)) & 0xff));
    return out;
}
} // namespace

class TestSysInfo : public QObject
{
    Q_OBJECT

    FakeRegistry *registry = nullptr;
    FakeProgramLauncher *launcher = nullptr;
    FakeMessageBox *box = nullptr;
    SysInfo *sysInfo = nullptr;

    bool read(const QByteArray &name, QString &value)
    {
        return sysInfo->GetKeyValue(HKLM, QString::fromLatin1(someKey), QString::fromLatin1(name),
                                    value);
    }
    void expectUnavailableBox()
    {
        QCOMPARE(box->texts(), QStringList{QStringLiteral("現時点ではｼｽﾃﾑ情報を使用できません")});
        QCOMPARE(box->shown.first().icon, MessageBox::Icon::None);
        QVERIFY(launcher->started.isEmpty());
    }

private slots:
    void init()
    {
        registry = new FakeRegistry;
        launcher = new FakeProgramLauncher;
        box = new FakeMessageBox;
        sysInfo = new SysInfo(*registry, *launcher, *box);
    }
    void cleanup()
    {
        const int stillOpen = registry->openCount();
        bool readOnly = true;
        for (const FakeRegistry::Opened &o : std::as_const(registry->opens))
            readOnly = readOnly && o.access == Registry::KeyRead;
        delete sysInfo;
        delete box;
        delete launcher;
        delete registry;
        // Every path through the reader closes what it opened, and asks only to read.
        QCOMPARE(stillOpen, 0);
        QVERIFY(readOnly);
    }

    void textValues_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QString>("expected");
        QTest::newRow("with terminator")
            << QByteArrayLiteral("C:\\Tools\\info.exe\0") << QStringLiteral("C:\\Tools\\info.exe");
        QTest::newRow("without terminator")
            << QByteArrayLiteral("C:\\Tools\\info.exe") << QStringLiteral("C:\\Tools\\info.exe");
        QTest::newRow("padded with zeros")
            << QByteArrayLiteral("C:\\x.exe\0\0\0") << QStringLiteral("C:\\x.exe");
        QTest::newRow("a lone terminator") << QByteArray(1, '\0') << QString();
        QTest::newRow("exactly fills the buffer")
            << QByteArray(1024, 'a') << QString(1024, QLatin1Char('a'));
    }
    void textValues()
    {
        QFETCH(QByteArray, stored);
        QFETCH(QString, expected);
        registry->setValue(HKLM, someKey, "Name", Registry::RegSz, stored);
        QString value = QStringLiteral("before");
        QVERIFY(read("name", value)); // value names are case-insensitive
        QCOMPARE(value, expected);
    }

    void unreadableValuesEmptyTheText_data()
    {
        QTest::addColumn<bool>("keyExists");
        QTest::addColumn<QByteArray>("stored"); // null: no such value
        QTest::newRow("no key") << false << QByteArray();
        QTest::newRow("no value") << true << QByteArray();
        QTest::newRow("one byte over the buffer") << true << QByteArray(1025, 'a');
    }
    void unreadableValuesEmptyTheText()
    {
        QFETCH(bool, keyExists);
        QFETCH(QByteArray, stored);
        if (keyExists)
            registry->addKey(HKLM, someKey);
        if (!stored.isNull())
            registry->setValue(HKLM, someKey, "Name", Registry::RegSz, stored);
        QString value = QStringLiteral("before");
        QVERIFY(!read("Name", value));
        QVERIFY(value.isEmpty());
    }

    void otherTypesLeaveTheTextAlone()
    {
        registry->setValue(HKLM, someKey, "Expand", Registry::RegExpandSz,
                           QByteArrayLiteral("%SystemRoot%\\x.exe\0"));
        QString value = QStringLiteral("before");
        QVERIFY(read("Expand", value));
        QCOMPARE(value, QStringLiteral("before"));
    }

    void dwordValues_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QString>("expected");
        QTest::newRow("mixed bytes") << dword(0x12345678u) << QStringLiteral("305419896");
        QTest::newRow("high bytes zero") << dword(10) << QStringLiteral("10");
        QTest::newRow("all bits") << dword(0xffffffffu) << QStringLiteral("4294967295");
    }
    void dwordValues()
    {
        QFETCH(QByteArray, stored);
        QFETCH(QString, expected);
        registry->setValue(HKLM, someKey, "Number", Registry::RegDword, stored);
        QString value;
        QVERIFY(read("Number", value));
        QCOMPARE(value, expected);
    }

    void emptyDataIsAnError()
    {
        registry->setValue(HKLM, someKey, "Empty", Registry::RegSz, QByteArray());
        QString value;
        QVERIFY_THROWS_EXCEPTION(RegistryReadError, read("Empty", value));
    }

    // StartSysInfo

    void pathValueIsStartedAsItIs()
    {
        const QString program = QStringLiteral("C:\\Program Files\\Info Tool\\info.exe");
        registry->setValue(HKLM, infoKey, "PATH", Registry::RegSz, program.toLocal8Bit() + '\0');
        launcher->files.insert(program);
        sysInfo->StartSysInfo();
        QCOMPARE(launcher->started, QStringList{program});
        QVERIFY(launcher->tested.isEmpty()); // no existence test for this value
        QVERIFY(box->shown.isEmpty());
    }

    void badPathValueNeverFallsBackToTheFolder_data()
    {
        QTest::addColumn<quint32>("type");
        QTest::addColumn<QByteArray>("stored");
        QTest::newRow("missing file")
            << quint32(Registry::RegSz) << QByteArrayLiteral("C:\\gone\\msinfo32.exe\0");
        QTest::newRow("expandable string")
            << quint32(Registry::RegExpandSz) << QByteArrayLiteral("%ProgramFiles%\\x.exe\0");
        QTest::newRow("empty data") << quint32(Registry::RegSz) << QByteArray();
    }
    void badPathValueNeverFallsBackToTheFolder()
    {
        QFETCH(quint32, type);
        QFETCH(QByteArray, stored);
        registry->setValue(HKLM, infoKey, "PATH", type, stored);
        registry->setValue(HKLM, locationKey, "MSINFO", Registry::RegSz, "C:\\Tools");
        launcher->files.insert(QStringLiteral("C:\\Tools\\MSINFO32.EXE"));
        sysInfo->StartSysInfo();
        expectUnavailableBox();
        QCOMPARE(registry->openedKeys(), QList<QByteArray>{infoKey});
    }

    void folderValue_data()
    {
        QTest::addColumn<bool>("programThere");
        QTest::newRow("program in the folder") << true;
        QTest::newRow("folder without the program") << false;
    }
    void folderValue()
    {
        QFETCH(bool, programThere);
        const QString program = QStringLiteral("C:\\Program Files\\Common\\MSINFO32.EXE");
        registry->addKey(HKLM, infoKey); // the key is there, its PATH value is not
        registry->setValue(HKLM, locationKey, "MSINFO", Registry::RegSz,
                           QByteArrayLiteral("C:\\Program Files\\Common\0"));
        if (programThere)
            launcher->files.insert(program);
        sysInfo->StartSysInfo();
        QCOMPARE(launcher->tested, QStringList{program});
        if (programThere) {
            QCOMPARE(launcher->started, QStringList{program});
            QVERIFY(box->shown.isEmpty());
        } else {
            expectUnavailableBox();
            QVERIFY(launcher->attempted.isEmpty());
        }
    }

    void neitherValue()
    {
        sysInfo->StartSysInfo();
        expectUnavailableBox();
        QCOMPARE(registry->openedKeys(), (QList<QByteArray>{infoKey, locationKey}));
    }
};

QTEST_GUILESS_MAIN(TestSysInfo)
#include "tst_sys_info.moc"
