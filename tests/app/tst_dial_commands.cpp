#include "app_rig.h"

#include <QTest>

using namespace ringlark;
using namespace ringlark::test;

namespace {

// Start-up with these dial-up entries and this one configured.
AppRig::Options withEntries(QStringList entries, const QString &configured)
{
    return {.stored = {{QStringLiteral("DIALUPNETWORK"), configured}},
            .entries = std::move(entries),
            .now = QDateTime(QDate(2004, 9, 25), QTime(21, 5, 42))};
}

const QString kVpn = QStringLiteral("会社 VPN");

} // namespace

class TestDialCommands : public QObject
{
    Q_OBJECT
private slots:
    void startup_fills_the_entry_list_in_order()
    {
        AppRig h(withEntries({QStringLiteral("Home"), kVpn, QStringLiteral("Mobile")}, kVpn));
        QTRY_COMPARE(h.state.entries.items(),
                     (QStringList{QStringLiteral("Home"), kVpn, QStringLiteral("Mobile")}));
        QCOMPARE(h.state.entries.selection(), 1);
    }

    void a_successful_dial_logs_both_lines()
    {
        AppRig h(withEntries({kVpn}, kVpn));
        h.trigger("SET_CONNECT");
        QCOMPARE(h.fakes.dialUp.dials.size(), 1);
        QCOMPARE(h.fakes.dialUp.dials.first().entry, kVpn);
        QCOMPARE(h.fakes.dialUp.dials.first().parentWindow,
                 static_cast<quintptr>(h.window->winId()));
        QCOMPARE(h.logLines().mid(1), (QStringList{QStringLiteral("接続中です"),
                                                   QStringLiteral("09/25 21:05 ") + kVpn +
                                                       QStringLiteral("へ接続しました。")}));
    }

    void results_become_their_log_lines_data()
    {
        QTest::addColumn<bool>("remote");
        QTest::addColumn<int>("dialResult");
        QTest::addColumn<int>("hangUpResult");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("dial fails with 623")
            << false << 623 << 0
            << QStringList{QStringLiteral("接続エラー 623  X"), QStringLiteral("接続していませんでした")};
        QTest::newRow("hang-up fails with 5")
            << false << 0 << 5
            << QStringList{QStringLiteral("接続中です"),
                           QStringLiteral("09/25 21:05 Xへ接続しました。"),
                           QStringLiteral("切断中"), QStringLiteral("切断できません　エラー: 5")};
        QTest::newRow("hang-up succeeds")
            << false << 0 << 0
            << QStringList{QStringLiteral("接続中です"),
                           QStringLiteral("09/25 21:05 Xへ接続しました。"),
                           QStringLiteral("切断中"), QStringLiteral("切断しました")};
        QTest::newRow("negative error number")
            << false << -2 << 0
            << QStringList{QStringLiteral("接続エラー -2  X"), QStringLiteral("接続していませんでした")};
    }
    void results_become_their_log_lines()
    {
        QFETCH(bool, remote);
        QFETCH(int, dialResult);
        QFETCH(int, hangUpResult);
        QFETCH(QStringList, lines);
        AppRig h(withEntries({QStringLiteral("X")}, QStringLiteral("X")));
        h.fakes.dialUp.remote = remote;
        h.fakes.dialUp.dialResult = dialResult;
        h.fakes.dialUp.hangUpResult = hangUpResult;
        h.trigger("SET_CONNECT");
        h.trigger("SET_DISCONNECT");
        QCOMPARE(h.logLines().mid(1), lines);
    }

    void dialling_again_while_connected_does_nothing()
    {
        AppRig h(withEntries({QStringLiteral("X")}, QStringLiteral("X")));
        h.trigger("SET_CONNECT");
        h.fakes.dialUp.remote = true;
        h.trigger("SET_CONNECT");
        QCOMPARE(h.fakes.dialUp.dials.size(), 1);
        QCOMPARE(h.logLines().mid(1).last(), QStringLiteral("すでに接続しています。"));
        // A failed hang-up still forgets the connection: the second finds none.
        h.fakes.dialUp.hangUpResult = 5;
        h.trigger("SET_DISCONNECT");
        h.trigger("SET_DISCONNECT");
        QCOMPARE(h.logLines().mid(1).last(), QStringLiteral("接続していませんでした"));
    }

    void no_entry_chosen_shows_the_box_data()
    {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QString>("configured");
        QTest::addColumn<QString>("box");
        QTest::addColumn<int>("logged"); // the box's text as a log line, each time it is asked
        QTest::newRow("no entries on the machine")
            << QStringList() << QString()
            << QStringLiteral("設定でダイアルアップネットワークを選択してください") << 0;
        // The name the system lacks is named, and reaches the log as well.
        QTest::newRow("configured entry gone")
            << QStringList{QStringLiteral("Y")} << QStringLiteral("X")
            << QStringLiteral("設定のダイアルアップネットワーク「X」が見つかりません。"
                              "設定で選び直してください")
            << 2;
    }
    void no_entry_chosen_shows_the_box()
    {
        QFETCH(QStringList, entries);
        QFETCH(QString, configured);
        QFETCH(QString, box);
        QFETCH(int, logged);
        AppRig h(withEntries(entries, configured));
        h.trigger("SET_CONNECT");
        h.trigger("SET_CONNECT"); // while the first box is still open: no second one
        QCOMPARE(h.fakes.boxes.shown.size(), 1);
        QCOMPARE(h.fakes.boxes.shown.first().text, box);
        QCOMPARE(h.fakes.boxes.shown.first().icon, MessageBox::Icon::Exclamation);
        QVERIFY(h.fakes.dialUp.dials.isEmpty());
        QCOMPARE(h.logLines().mid(1), QStringList(logged, box));
    }

    void the_entry_is_looked_up_when_dialling_data()
    {
        QTest::addColumn<QStringList>("atStartUp");
        QTest::addColumn<QStringList>("atDial");
        QTest::addColumn<QString>("problem");
        QTest::addColumn<QStringList>("lines");
        const QString made = QStringLiteral("09/25 21:05 ") + kVpn + QStringLiteral("へ接続しました。");
        QTest::newRow("profile made after start-up")
            << QStringList{QStringLiteral("Home")} << QStringList{QStringLiteral("Home"), kVpn}
            << QString() << QStringList{QStringLiteral("接続中です"), made};
        QTest::newRow("no entries listed (Wine's Remote Access)")
            << QStringList() << QStringList() << QString()
            << QStringList{QStringLiteral("接続中です"), made};
        QTest::newRow("service not running")
            << QStringList() << QStringList() << QStringLiteral("NetworkManager が動いていません")
            << QStringList{QStringLiteral("NetworkManager が動いていません"),
                           QStringLiteral("接続エラー 103  ") + kVpn};
    }
    void the_entry_is_looked_up_when_dialling()
    {
        QFETCH(QStringList, atStartUp);
        QFETCH(QStringList, atDial);
        QFETCH(QString, problem);
        QFETCH(QStringList, lines);
        AppRig h(withEntries(atStartUp, kVpn));
        QCOMPARE(h.state.entries.selection(), -1);
        h.fakes.dialUp.entries = atDial;
        h.fakes.dialUp.problem = problem;
        h.fakes.dialUp.dialResult = problem.isEmpty() ? 0 : 103;
        h.trigger("SET_CONNECT");
        QVERIFY(h.fakes.boxes.shown.isEmpty());
        QCOMPARE(h.fakes.dialUp.dials.size(), 1);
        QCOMPARE(h.fakes.dialUp.dials.first().entry, kVpn);
        QCOMPARE(h.logLines().mid(1), lines);
        QCOMPARE(h.state.entries.items(), atDial);
    }

    void a_name_typed_over_the_list_dials_the_stored_entry()
    {
        AppRig h(withEntries({QStringLiteral("Office VPN")}, QStringLiteral("Office VPN")));
        QTRY_COMPARE(h.state.entries.selection(), 0);
        // The user types over the chosen entry in the settings dialog's field, without OK.
        h.state.entries.setEditText(QStringLiteral("Office"));
        h.trigger("SET_CONNECT");
        QVERIFY(h.fakes.boxes.shown.isEmpty());
        QCOMPARE(h.fakes.dialUp.dials.size(), 1);
        QCOMPARE(h.fakes.dialUp.dials.first().entry, QStringLiteral("Office VPN"));
        QCOMPARE(h.state.entries.editText(), QStringLiteral("Office")); // left as typed
    }
};

QTEST_MAIN(TestDialCommands)
#include "tst_dial_commands.moc"
