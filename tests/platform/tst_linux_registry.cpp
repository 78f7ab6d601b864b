// The stand-in for the system-information program's registry entry on Linux.
#include "fake_program_launcher.h"
#include "fakes.h"
#include "registry_linux.h"
#include "sys_info.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace ringlark;
using namespace ringlark::test;

namespace {
void makeFile(const QString &path, bool executable)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("#!/bin/sh\nexit 0\n");
    f.close();
    QFileDevice::Permissions p = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    if (executable)
        p |= QFileDevice::ExeOwner;
    QVERIFY(f.setPermissions(p));
}
} // namespace

class TestLinuxRegistry : public QObject
{
    Q_OBJECT

    QByteArray savedPath;

private slots:
    void init() { savedPath = qgetenv("PATH"); }
    void cleanup() { qputenv("PATH", savedPath); }

    void findsTheFirstCandidateOnPath()
    {
        QTemporaryDir bin;
        QTemporaryDir otherBin;
        makeFile(bin.filePath(QStringLiteral("gnome-system-monitor")), true);
        makeFile(otherBin.filePath(QStringLiteral("hardinfo")), true);
        makeFile(bin.filePath(QStringLiteral("kinfocenter")), false); // not runnable
        qputenv("PATH", (bin.path() + QLatin1Char(':') + otherBin.path()).toLocal8Bit());

        LinuxRegistry registry; // reads PATH as it is now
        FakeProgramLauncher launcher;
        FakeMessageBox box;
        const QString expected = otherBin.filePath(QStringLiteral("hardinfo"));
        launcher.files.insert(expected);
        SysInfo(registry, launcher, box).StartSysInfo();
        QCOMPARE(launcher.started, QStringList{expected});
        QVERIFY(box.shown.isEmpty());

        // Looked up at every open: a program removed since is no longer offered.
        QVERIFY(QFile::remove(expected));
        QCOMPARE(registry.findProgram(), bin.filePath(QStringLiteral("gnome-system-monitor")));
    }

    void noProgramMeansTheMessage()
    {
        QTemporaryDir empty;
        qputenv("PATH", empty.path().toLocal8Bit());
        LinuxRegistry registry;
        FakeProgramLauncher launcher;
        FakeMessageBox box;
        SysInfo(registry, launcher, box).StartSysInfo();
        QVERIFY(launcher.attempted.isEmpty());
        QCOMPARE(box.texts(), QStringList{QStringLiteral("現時点ではｼｽﾃﾑ情報を使用できません")});
    }

    void onlyTheProgramValueExists()
    {
        QTemporaryDir bin;
        makeFile(bin.filePath(QStringLiteral("lxtask")), true);
        LinuxRegistry registry(LinuxRegistry::defaultCandidates(), {bin.path()});
        const auto HKLM = Registry::Root::LocalMachine;
        Registry::Handle key = 0;
        QCOMPARE(registry.openKey(HKLM, "SOFTWARE\\Microsoft\\Shared Tools Location",
                                  Registry::KeyRead, key),
                 Registry::ErrorFileNotFound);
        QCOMPARE(registry.openKey(Registry::Root::CurrentUser,
                                  "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", Registry::KeyRead,
                                  key),
                 Registry::ErrorFileNotFound);
        // Registry names ignore case, like the real ones.
        QCOMPARE(registry.openKey(HKLM, "software\\microsoft\\shared tools\\msinfo",
                                  Registry::KeyRead, key),
                 Registry::ErrorSuccess);
        char buffer[16];
        quint32 size = sizeof buffer;
        quint32 type = 0;
        QCOMPARE(registry.queryValue(key, "MSINFO", type, buffer, size),
                 Registry::ErrorFileNotFound);
        registry.closeKey(key);
    }
};

QTEST_GUILESS_MAIN(TestLinuxRegistry)
#include "tst_linux_registry.moc"
