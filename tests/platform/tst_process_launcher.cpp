// The real launcher runs the named file itself, never a shell command line.
#include "process_launcher.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace ringlark;

namespace {
// A script that writes its argument count next to itself, in "<its path>.ran".
void makeScript(const QString &path)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("#!/bin/sh\necho $# > \"$0.ran\"\n");
    f.close();
    QVERIFY(
        f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
}

QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll().trimmed() : QByteArray();
}
} // namespace

class TestProcessLauncher : public QObject
{
    Q_OBJECT

private slots:
    void runsTheExactFile_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("decoy"); // what a shell would have run instead
        QTest::newRow("space") << QStringLiteral("my prog") << QStringLiteral("my");
        QTest::newRow("semicolon") << QStringLiteral("x;decoy") << QStringLiteral("decoy");
        QTest::newRow("substitution") << QStringLiteral("y$(decoy)") << QStringLiteral("decoy");
    }
    void runsTheExactFile()
    {
        QFETCH(QString, name);
        QFETCH(QString, decoy);
        QTemporaryDir dir;
        const QString program = dir.filePath(name);
        makeScript(program);
        makeScript(dir.filePath(decoy));
        // Decoys are also found by a shell that looks on PATH.
        const QByteArray savedPath = qgetenv("PATH");
        qputenv("PATH", dir.path().toLocal8Bit() + ':' + savedPath);
        const QString savedDir = QDir::currentPath();
        QDir::setCurrent(dir.path());

        ProcessLauncher launcher;
        const bool started = launcher.start(program);

        QDir::setCurrent(savedDir);
        qputenv("PATH", savedPath);
        QVERIFY(started);
        QTRY_COMPARE(contents(program + QStringLiteral(".ran")), QByteArray("0"));
        QVERIFY(!QFile::exists(dir.filePath(decoy) + QStringLiteral(".ran")));
    }

    void reportsWhatCannotStart()
    {
        QTemporaryDir dir;
        QFile plain(dir.filePath(QStringLiteral("not-executable")));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        ProcessLauncher launcher;
        QVERIFY(!launcher.start(QString()));
        QVERIFY(!launcher.start(dir.filePath(QStringLiteral("missing"))));
        QVERIFY(!launcher.start(dir.path())); // a folder
        QVERIFY(!launcher.start(plain.fileName()));
    }

    void existingFileIsAnOrdinaryVisibleFile()
    {
        QTemporaryDir dir;
        for (const char *name : {"MSINFO32.EXE", ".hidden"}) {
            QFile f(dir.filePath(QString::fromLatin1(name)));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder")));
        ProcessLauncher launcher;
        QCOMPARE(launcher.existingFile(dir.filePath(QStringLiteral("MSINFO32.EXE"))),
                 QStringLiteral("MSINFO32.EXE"));
        QCOMPARE(launcher.existingFile(dir.filePath(QStringLiteral(".hidden"))), QString());
        QCOMPARE(launcher.existingFile(dir.filePath(QStringLiteral("folder"))), QString());
        QCOMPARE(launcher.existingFile(dir.filePath(QStringLiteral("missing"))), QString());
        QCOMPARE(launcher.existingFile(QString()), QString());
    }
};

QTEST_GUILESS_MAIN(TestProcessLauncher)
#include "tst_process_launcher.moc"
