#include "app_core.h"

#include "app_rig.h"
#include "fake_socket.h"
#include "log_capture.h"
#include "log_message_box.h"
#include "sample_mails.h"

#include <QTest>

using namespace ringlark;
using namespace ringlark::test;

// The core with no window and no QApplication of the widget kind: start-up, a check that
// finds a trigger, and the box that asks for a dial-up entry, which becomes a log line.
class TestAppCore : public QObject
{
    Q_OBJECT
private slots:
    void runs_a_whole_check_without_windows()
    {
        FakeSocket *socket = nullptr;
        LogCapture log("ringlark.log");
        AppRig rig({.stored = {{QStringLiteral("POP3SERVER"), QStringLiteral("pop.example.jp")},
                               {QStringLiteral("AUTOSTART"), QStringLiteral("1")},
                               {QStringLiteral("FROM_CHECK"), QStringLiteral("0")},
                               {QStringLiteral("SUBJECT_CHECK"), QStringLiteral("0")}},
                    .boxes = std::make_unique<LogMessageBox>(),
                    .makeSocket =
                        [&socket] {
                            auto s = std::make_unique<FakeSocket>();
                            socket = s.get();
                            return s;
                        },
                    .fakeTimers = true});
        AppCore &core = *rig.core;
        QVERIFY(core.checkCycle().monitoring());

        QVERIFY(rig.timer1().fire());
        MailSpec mailSpec;
        mailSpec.date = "Sat, 25 Sep 2004 09:00:00 +0900";
        socket->deliver("+OK\r\n");
        socket->deliver("-ERR Unknown command: CAPA\r\n");
        socket->deliver("+OK\r\n");
        socket->deliver("+OK\r\n");
        socket->deliver("+OK 1 100\r\n");
        socket->deliver("+OK\r\n" + topReplyBody(realisticMail(mailSpec)));
        QTRY_COMPARE(core.checkCycle().state(), CheckCycle::State::Idle);
        QCOMPARE(
            log.messages,
            (QStringList{QStringLiteral("初期化終了しました"),
                         QStringLiteral("送信者と件名のチェックがどちらもオフです。新しいメールが届"
                                        "くと、どのメールでも接続します"),
                         QStringLiteral("起動しました"),
                         QStringLiteral("設定でダイアルアップネットワークを選択してください")}));
        // Nothing was dialled: the request is kept for the next checks.
        QVERIFY(!rig.fakes.store.values.contains(QStringLiteral("LASTDATE")));
        QVERIFY(rig.timer1().isActive());
    }
};

QTEST_GUILESS_MAIN(TestAppCore)
#include "tst_app_core.moc"
