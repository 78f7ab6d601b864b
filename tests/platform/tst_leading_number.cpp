#include "leading_number.h"

#include <QTest>

#include <climits>
#include <cmath>

using namespace ringlark;

class TestLeadingNumber : public QObject
{
    Q_OBJECT
private slots:
    void reading_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::newRow("plain") << QStringLiteral("60") << 60.0;
        QTest::newRow("fraction") << QStringLiteral("0.5") << 0.5;
        QTest::newRow("trailing unit") << QStringLiteral("30s") << 30.0;
        QTest::newRow("empty") << QString() << 0.0;
        QTest::newRow("letters") << QStringLiteral("abc") << 0.0;
        QTest::newRow("blank inside") << QStringLiteral(" 6 0") << 60.0;
        QTest::newRow("tab and line feed") << QStringLiteral("\t1\n2") << 12.0;
        QTest::newRow("hex") << QStringLiteral("&H10") << 16.0;
        QTest::newRow("hex 16-bit sign") << QStringLiteral("&HFFFF") << -1.0;
        QTest::newRow("octal") << QStringLiteral("&O17") << 15.0;
        QTest::newRow("exponent") << QStringLiteral("1e1") << 10.0;
        QTest::newRow("negative") << QStringLiteral("-5") << -5.0;
        QTest::newRow("plus sign") << QStringLiteral("+7") << 7.0;
        QTest::newRow("leading point") << QStringLiteral(".25") << 0.25;
        QTest::newRow("lone exponent letter") << QStringLiteral("3e") << 3.0;
        QTest::newRow("second point stops") << QStringLiteral("1.2.3") << 1.2;
        QTest::newRow("sign alone") << QStringLiteral("-") << 0.0;
        QTest::newRow("full-width digits are not a number") << QStringLiteral("６０") << 0.0;
    }
    void reading()
    {
        QFETCH(QString, text);
        QFETCH(double, value);
        QCOMPARE(leadingNumber(text), value);
    }

    void huge_exponent_is_infinite()
    {
        QVERIFY(std::isinf(leadingNumber(QStringLiteral("1e999"))));
    }

    void interval_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("ms");
        QTest::newRow("default") << QStringLiteral("60") << 60000;
        QTest::newRow("half second") << QStringLiteral("0.5") << 500;
        QTest::newRow("unit suffix") << QStringLiteral("30s") << 30000;
        QTest::newRow("empty never fires") << QString() << 0;
        QTest::newRow("non-numeric") << QStringLiteral("abc") << 0;
        QTest::newRow("negative is like 0") << QStringLiteral("-5") << 0;
        QTest::newRow("half to even, down") << QStringLiteral("0.0025") << 2;
        QTest::newRow("half to even, up") << QStringLiteral("0.0035") << 4;
        QTest::newRow("beyond 65.535 s") << QStringLiteral("3600") << 3600000;
        QTest::newRow("too large is clamped") << QStringLiteral("1e12") << INT_MAX;
        QTest::newRow("infinite is clamped") << QStringLiteral("1e999") << INT_MAX;
        QTest::newRow("negative infinite") << QStringLiteral("-1e999") << 0;
    }
    void interval()
    {
        QFETCH(QString, text);
        QFETCH(int, ms);
        QCOMPARE(intervalMilliseconds(text), ms);
    }

    void flags_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("state");
        QTest::newRow("on") << QStringLiteral("1") << 1;
        QTest::newRow("off") << QStringLiteral("0") << 0;
        QTest::newRow("never saved") << QString() << 0;
        QTest::newRow("blank around") << QStringLiteral(" 1 ") << 1;
        QTest::newRow("huge") << QStringLiteral("1e999") << 0;
    }
    void flags()
    {
        QFETCH(QString, text);
        QFETCH(int, state);
        QCOMPARE(flagValue(text), state);
    }
};

QTEST_GUILESS_MAIN(TestLeadingNumber)
#include "tst_leading_number.moc"
