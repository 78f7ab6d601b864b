#include "app_rig.h"
#include "timer.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using namespace ringlark;
using namespace ringlark::test;

namespace {

const QString kInit = QStringLiteral("初期化終了しました\r\n");
const QString kStarted = QStringLiteral("起動しました\r\n");
// Every start of monitoring with both trigger tests off says that any mail dials.
const QString kAnyMail = QStringLiteral(
    "送信者と件名のチェックがどちらもオフです。新しいメールが届くと、どのメールでも接続します");

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT
private slots:
    void first_start_writes_one_line_and_stays_stopped()
    {
        AppRig h;
        QCOMPARE(h.core->eventLog().text(), kInit);
        QCOMPARE(h.log()->toPlainText(), QStringLiteral("初期化終了しました\n"));
        QCOMPARE(h.cmdStart()->text(), QStringLiteral("開始"));
        QCOMPARE(h.status()->text(), QStringLiteral("状況："));
        QVERIFY(!h.core->checkCycle().timerEnabled());
        QCOMPARE(h.core->checkCycle().timerInterval(), 0);
        QCOMPARE(h.state.entries.selection(), -1);
        QCOMPARE(h.state.settings.TimeInterval.toString(), QStringLiteral("60"));
        QVERIFY(h.fakes.store.writes.isEmpty());
    }

    void the_window_is_fixed_size_and_titled()
    {
        AppRig h;
        QCOMPARE(h.window->windowTitle(), QStringLiteral("RINGLARK"));
        QCOMPARE(h.window->objectName(), QStringLiteral("MAIN"));
        QVERIFY(h.log()->isReadOnly());
        QCOMPARE(h.log()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        h.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(h.window.get()));
        QCOMPARE(h.window->minimumSize(), h.window->maximumSize());
        // 4110 x 4785 twips at the screen's logical DPI, below the menu bar.
        const int dpi = h.window->logicalDpiX();
        QCOMPARE(h.window->centralWidget()->width(), qRound(4110.0 * dpi / 1440));
        QCOMPARE(h.window->centralWidget()->height(), qRound(4785.0 * dpi / 1440));
    }

    void autostart_starts_monitoring()
    {
        AppRig h({.stored = {{QStringLiteral("AUTOSTART"), QStringLiteral("1")},
                             {QStringLiteral("TIMEINTERVAL"), QStringLiteral("1.5")}}});
        QCOMPARE(h.core->eventLog().text(), kInit + kAnyMail + QStringLiteral("\r\n") + kStarted);
        QCOMPARE(h.cmdStart()->text(), QStringLiteral("中止"));
        QVERIFY(h.core->checkCycle().timerEnabled());
        QCOMPARE(h.core->checkCycle().timerInterval(), 1500);
        // The first check comes a full interval later, not at start-up.
        QVERIFY(h.core->checkCycle().timer().isActive());
    }

    void only_the_exact_text_1_autostarts_data()
    {
        QTest::addColumn<QString>("autostart");
        QTest::newRow("blank before") << QStringLiteral(" 1");
        QTest::newRow("blank after") << QStringLiteral("1 ");
        QTest::newRow("two") << QStringLiteral("2");
        QTest::newRow("empty") << QString();
    }
    void only_the_exact_text_1_autostarts()
    {
        QFETCH(QString, autostart);
        AppRig h({.stored = {{QStringLiteral("AUTOSTART"), autostart}}});
        QCOMPARE(h.core->eventLog().text(), kInit);
        QCOMPARE(h.cmdStart()->text(), QStringLiteral("開始"));
    }

    void the_configured_entry_is_selected_data()
    {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QString>("configured");
        QTest::addColumn<int>("selection");
        const QStringList vpns{QStringLiteral("Office VPN"), QStringLiteral("Home DSL"),
                               QStringLiteral("Office VPN")};
        QTest::newRow("two equal entries: the second wins") << vpns << QStringLiteral("Office VPN") << 2;
        QTest::newRow("exact") << vpns << QStringLiteral("Home DSL") << 1;
        QTest::newRow("case differs") << vpns << QStringLiteral("home dsl") << -1;
        QTest::newRow("a prefix") << vpns << QStringLiteral("Office") << -1;
        QTest::newRow("trailing blank") << vpns << QStringLiteral("Home DSL ") << -1;
        QTest::newRow("nothing configured") << vpns << QString() << -1;
        QTest::newRow("no entries at all") << QStringList() << QStringLiteral("Home DSL") << -1;
    }
    void the_configured_entry_is_selected()
    {
        QFETCH(QStringList, entries);
        QFETCH(QString, configured);
        QFETCH(int, selection);
        AppRig h({.stored = {{QStringLiteral("DIALUPNETWORK"), configured}}, .entries = entries});
        QTRY_COMPARE(h.state.entries.items(), entries); // listed when the system answers
        QCOMPARE(h.state.entries.selection(), selection);
    }

    void start_and_stop_alternate_on_the_button()
    {
        AppRig h({.stored = {{QStringLiteral("TIMEINTERVAL"), QStringLiteral("30s")}}});
        QPushButton *button = h.cmdStart();
        const QString faceStyle = button->styleSheet();

        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(button->text(), QStringLiteral("中止"));
        QVERIFY(button->styleSheet().contains(QStringLiteral("#ff0000")));
        QCOMPARE(h.core->checkCycle().timerInterval(), 30000);
        QVERIFY(h.core->checkCycle().timer().isActive());
        QCOMPARE(h.status()->text(), QStringLiteral("状況：")); // start leaves it alone

        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(button->text(), QStringLiteral("開始"));
        QCOMPARE(button->styleSheet(), faceStyle);
        QVERIFY(!h.core->checkCycle().timer().isActive());
        QCOMPARE(h.state.session.SessionStep, SessionStep::Stop);
        QCOMPARE(h.status()->text(), QStringLiteral("状況：停止中"));

        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(button->text(), QStringLiteral("中止"));
    }

    void intervals_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("ms"); // 0: monitoring refused
        QTest::newRow("negative") << QStringLiteral("-5") << 0;
        QTest::newRow("empty") << QString() << 0;
        QTest::newRow("no number") << QStringLiteral("abc") << 0;
        QTest::newRow("zero") << QStringLiteral("0") << 0;
        QTest::newRow("a fifth of a second") << QStringLiteral("0.2") << 1000;
        QTest::newRow("rounds to 0 ms") << QStringLiteral("0.0004") << 1000;
        QTest::newRow("huge") << QStringLiteral("1e999") << INT_MAX;
    }

    void intervals()
    {
        QFETCH(QString, text);
        QFETCH(int, ms);
        AppRig h({.stored = {{QStringLiteral("TIMEINTERVAL"), text}}});
        h.core->checkCycle().startCommand();
        if (ms > 0) {
            QCOMPARE(h.core->checkCycle().timerInterval(), ms);
            return;
        }
        // Said once, in the log; the button offers to start again.
        QCOMPARE(h.cmdStart()->text(), QStringLiteral("開始"));
        QVERIFY(!h.core->checkCycle().timerEnabled());
        QCOMPARE(h.core->eventLog().text().count(QStringLiteral("では監視できません")), 1);
    }

    void every_status_text_fits_its_line()
    {
        AppRig h;
        QLabel *label = h.status();
        for (const QString &text : {QStringLiteral("状況：メールサーバーが応答しません"),
                                    QStringLiteral("状況：サーバーへ問い合わせ中"),
                                    QStringLiteral("状況：")}) {
            h.core->eventLog().setStatus(text);
            QVERIFY2(label->fontMetrics().horizontalAdvance(text) <= label->width(),
                     qPrintable(text));
            QVERIFY(label->geometry().right() < h.cmdStart()->geometry().left() + 1);
        }
    }

    void the_log_keeps_its_newest_lines()
    {
        AppRig h;
        EventLog &log = h.core->eventLog();
        for (int i = 1; i <= EventLog::kMaxLines; ++i)
            log.appendLog(QString::number(i));
        // Start-up's line was the first of kMaxLines + 1: only it is gone.
        QVERIFY(log.text().startsWith(QStringLiteral("1\r\n2\r\n")));
        QVERIFY(log.text().endsWith(QStringLiteral("\r\n10000\r\n")));
        QCOMPARE(log.text().count(QStringLiteral("\r\n")), EventLog::kMaxLines);
        QCOMPARE(h.log()->blockCount(), EventLog::kMaxLines + 1);
        QCOMPARE(h.log()->textCursor().position(), h.log()->document()->characterCount() - 1);
    }

    void the_log_mirrors_to_its_category()
    {
        QStringList lines;
        static QStringList *sink = nullptr;
        sink = &lines;
        const auto previous = qInstallMessageHandler(
            [](QtMsgType, const QMessageLogContext &ctx, const QString &msg) {
                if (QByteArray(ctx.category) == "ringlark.log"
                    || QByteArray(ctx.category) == "ringlark.status")
                    sink->append(QString::fromLatin1(ctx.category) + QLatin1Char(' ') + msg);
            });
        AppRig h({.stored = {{QStringLiteral("AUTOSTART"), QStringLiteral("1")}}});
        h.core->checkCycle().stopCommand();
        qInstallMessageHandler(previous);
        // Status texts stay out of the journal unless QT_LOGGING_RULES asks for them.
        QCOMPARE(lines, (QStringList{QStringLiteral("ringlark.log 初期化終了しました"),
                                     QStringLiteral("ringlark.log ") + kAnyMail,
                                     QStringLiteral("ringlark.log 起動しました")}));
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
