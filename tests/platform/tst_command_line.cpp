#include "command_line.h"

#include <QTest>
#include <QTextStream>

using namespace ringlark;

class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void read_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitStatus"); // -1: run
        QTest::addColumn<bool>("headless");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");

        const auto args = [](std::initializer_list<const char *> list) {
            QStringList result{QStringLiteral("/usr/bin/ringlark")};
            for (const char *a : list)
                result.append(QString::fromLatin1(a));
            return result;
        };
        const QString version = QStringLiteral("RINGLARK %1.%2.%3\n")
                                    .arg(RINGLARK_VERSION_MAJOR)
                                    .arg(RINGLARK_VERSION_MINOR)
                                    .arg(RINGLARK_VERSION_PATCH);
        QTest::newRow("window") << args({}) << -1 << false << QString() << QString();
        QTest::newRow("headless") << args({"--headless"}) << -1 << true << QString() << QString();
        QTest::newRow("version wins over headless")
            << args({"--headless", "--version"}) << 0 << false << version << QString();
        QTest::newRow("-v") << args({"-v"}) << 0 << false << version << QString();
        QTest::newRow("help") << args({"--help"}) << 0 << false
                              << QStringLiteral("Usage: ringlark [options]") << QString();
        QTest::newRow("unknown option")
            << args({"--headles"}) << 1 << false << QString()
            << QStringLiteral("ringlark: Unknown option 'headles'.\nTry 'ringlark --help'.\n");
        QTest::newRow("stray argument")
            << args({"now"}) << 1 << false << QString()
            << QStringLiteral("ringlark: Unexpected argument 'now'.\nTry 'ringlark --help'.\n");
    }

    void read()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitStatus);
        QString outText;
        QString errText;
        QTextStream outStream(&outText);
        QTextStream errStream(&errText);
        const CommandLine line = readCommandLine(arguments, outStream, errStream);
        QCOMPARE(line.exitStatus.value_or(-1), exitStatus);
        QTEST(line.headless, "headless");
        QFETCH(QString, out);
        if (out.startsWith(QStringLiteral("Usage")))
            QVERIFY2(outText.startsWith(out) && outText.contains(QStringLiteral("--headless")),
                     qPrintable(outText));
        else
            QCOMPARE(outText, out);
        QTEST(errText, "err");
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_command_line.moc"
