#include "failure_notices.h"

#include <QTest>

using namespace ringlark;
using F = SessionFailure;

namespace {
struct Ending
{
    F failure;
    QString detail;
};
const QString kRefused = QStringLiteral("-ERR [AUTH] Authentication failed.");
const QString kRefusedLine = QStringLiteral("メールサーバーがログインを拒否しました: ") + kRefused;
const QString kRecovered = QStringLiteral("メールサーバーの確認ができるようになりました");
const QString kSilentLine = QStringLiteral("メールサーバーが応答しないため、確認を打ち切りました");
} // namespace

Q_DECLARE_METATYPE(QList<Ending>)

class TestFailureNotices : public QObject
{
    Q_OBJECT
private slots:
    void oneLinePerChange_data()
    {
        QTest::addColumn<QList<Ending>>("endings");
        // One entry per ending: the line it logs, empty for none.
        QTest::addColumn<QStringList>("lines");
        const Ending ok{F::None, {}};
        const Ending refused{F::LoginRefused, kRefused};
        const Ending silent{F::Silent, {}};
        const Ending refusedSocket{F::Socket, QStringLiteral("ERR(10061;Connection refused)")};
        const Ending unreachable{F::Socket, QStringLiteral("ERR(11001;Host not found)")};

        QTest::newRow("healthy checks say nothing") << QList<Ending>{ok, ok} << QStringList{{}, {}};
        QTest::newRow("refusal: start, no repeats, recovery, quiet")
            << QList<Ending>{refused, refused, refused, ok, ok}
            << QStringList{kRefusedLine, {}, {}, kRecovered, {}};
        QTest::newRow("cause changes") << QList<Ending>{refused, silent, silent, refused}
                                       << QStringList{kRefusedLine, kSilentLine, {}, kRefusedLine};
        QTest::newRow("same cause, other text")
            << QList<Ending>{refusedSocket, unreachable, unreachable}
            << QStringList{
                   QStringLiteral("メールサーバーに接続できません: ERR(10061;Connection refused)"),
                   QStringLiteral("メールサーバーに接続できません: ERR(11001;Host not found)"),
                   {}};
        QTest::newRow("the password is masked")
            << QList<Ending>{{F::LoginRefused, QStringLiteral("-ERR PASS s3cret rejected")}}
            << QStringList{QStringLiteral(
                   "メールサーバーがログインを拒否しました: -ERR PASS **** rejected")};
        QTest::newRow("every kind has its own line")
            << QList<Ending>{{F::Tls, QStringLiteral("certificate expired")}, {F::Overran, {}}}
            << QStringList{
                   QStringLiteral("メールサーバーとの TLS 接続に失敗しました: certificate expired"),
                   QStringLiteral(
                       "メールサーバーの確認が制限時間内に終わらないため、打ち切りました")};
    }

    void oneLinePerChange()
    {
        QFETCH(QList<Ending>, endings);
        QFETCH(QStringList, lines);
        FailureNotices notices;
        QStringList got;
        for (const Ending &e : endings)
            got.append(notices.sessionEnded(e.failure, e.detail, QStringLiteral("s3cret")));
        QCOMPARE(got, lines);
    }
};

QTEST_GUILESS_MAIN(TestFailureNotices)
#include "tst_failure_notices.moc"
