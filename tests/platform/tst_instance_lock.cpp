#include "instance_lock.h"

#include <QFile>
#include <QLockFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

using namespace ringlark;

namespace {

// Run as a child with these set, the test program takes the lock and keeps it until killed,
// like a RINGLARK that then crashes, or until its standard input closes.
constexpr char kHoldSettings[] = "RINGLARK_TEST_HOLD_SETTINGS";
constexpr char kHoldRuntime[] = "RINGLARK_TEST_HOLD_RUNTIME";

int holdLock()
{
    InstanceLock lock(qEnvironmentVariable(kHoldSettings), qEnvironmentVariable(kHoldRuntime));
    std::puts(lock.acquire() == InstanceLock::Outcome::Acquired ? "held" : "refused");
    std::fflush(stdout);
    while (std::getchar() != EOF) {
    }
    return 0;
}

} // namespace

class TestInstanceLock : public QObject
{
    Q_OBJECT

private slots:
    void aLiveHolderKeepsItAndACrashedOneLosesIt()
    {
        QTemporaryDir dir;
        const QString settings = dir.filePath(QStringLiteral("TERNCALL.ini"));
        QProcess holder;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QString::fromLatin1(kHoldSettings), settings);
        env.insert(QString::fromLatin1(kHoldRuntime), dir.path());
        holder.setProcessEnvironment(env);
        holder.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(holder.waitForReadyRead(30000));
        QCOMPARE(holder.readAll().trimmed(), QByteArray("held"));

        InstanceLock second(settings, dir.path());
        QCOMPARE(second.acquire(), InstanceLock::Outcome::HeldByAnother);
        // A service runs for weeks: the age of the lock must not make it look abandoned.
        QFile file(second.path());
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(QDateTime::currentDateTime().addDays(-30),
                                 QFileDevice::FileModificationTime));
        file.close();
        QCOMPARE(second.acquire(), InstanceLock::Outcome::HeldByAnother);

        holder.kill(); // SIGKILL: the lock file stays behind
        QVERIFY(holder.waitForFinished(30000));
        QVERIFY(QFile::exists(second.path()));
        QCOMPARE(second.acquire(), InstanceLock::Outcome::Acquired);
        // Beside the settings it leaves QSettings' own lock free, or writes would hang.
        InstanceLock beside(settings, QString());
        QCOMPARE(beside.acquire(), InstanceLock::Outcome::Acquired);
        QVERIFY(QLockFile(settings + QStringLiteral(".lock")).tryLock(0));
    }
};

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsSet(kHoldSettings))
        return holdLock();
    TestInstanceLock test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_instance_lock.moc"
