#include "dialup_result.h"

#include <QFile>
#include <QTest>

using namespace ringlark::dialup;

class TestDialUpResult : public QObject
{
    Q_OBJECT

private slots:
    void everyNumberIsDescribed()
    {
        const auto undescribed = [](qint32 n) {
            return describe(n) == QStringLiteral("unknown result %1").arg(n);
        };
        for (qint32 n = 0; n <= kLastNetworkManagerReason; ++n)
            QVERIFY2(!undescribed(n), qPrintable(QString::number(n)));
        for (qint32 n = kFirstOwnResult; n <= kLastOwnResult; ++n)
            QVERIFY2(!undescribed(n), qPrintable(QString::number(n)));
        QVERIFY(undescribed(99));
    }

    void aDeactivationIsNeverSuccess()
    {
        QCOMPARE(resultForDeactivation(0), qint32(FailedWithoutReason));
        QCOMPARE(resultForDeactivation(6), qint32(6));
        QCOMPARE(resultForDeactivation(14), qint32(14));
        QCOMPARE(resultForDeactivation(100), qint32(FailedWithoutReason));
        QCOMPARE(resultForDeactivation(0xFFFFFFFFu), qint32(FailedWithoutReason));
    }

    void documentedTableMatchesTheCode()
    {
        QFile doc(qEnvironmentVariable("RINGLARK_SOURCE_DIR") +
                  QStringLiteral("/docs/dial-results.md"));
        QVERIFY2(doc.open(QIODevice::ReadOnly), qPrintable(doc.fileName()));
        QVERIFY(QString::fromUtf8(doc.readAll()).contains(resultTableMarkdown()));

        QFile manual(qEnvironmentVariable("RINGLARK_SOURCE_DIR") +
                     QStringLiteral("/data/ringlark.1"));
        QVERIFY2(manual.open(QIODevice::ReadOnly), qPrintable(manual.fileName()));
        const QString page = QString::fromUtf8(manual.readAll());
        for (qint32 n = 0; n <= kLastOwnResult;
             n = n == kLastNetworkManagerReason ? kFirstOwnResult : n + 1)
            QVERIFY2(page.contains(QStringLiteral(".B %1\n%2\n").arg(n).arg(describe(n))),
                     qPrintable(describe(n)));
    }
};

QTEST_GUILESS_MAIN(TestDialUpResult)
#include "tst_dialup_result.moc"
