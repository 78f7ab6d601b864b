#include "app_rig.h"
#include "application_icon.h"
#include "pop3_window.h"
#include "setup_dialog.h"
#include "version_box.h"
#include "version_dialog.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

using namespace ringlark;
using namespace ringlark::test;

class TestMenus : public QObject
{
    Q_OBJECT
private slots:
    void the_menu_bar_is_as_designed()
    {
        AppRig h;
        struct Menu
        {
            QString name, caption;
            QList<QPair<QString, QString>> items;
        };
        const QList<Menu> designed{
            {QStringLiteral("MENU"), QStringLiteral("ｱｸｼｮﾝ"),
             {{QStringLiteral("TERNCALLSTART"), QStringLiteral("ﾒｰﾙでｺｰﾙﾊﾞｯｸﾁｪｯｸ開始")},
              {QStringLiteral("TERNCALLSTOP"), QStringLiteral("ﾒｰﾙでｺｰﾙﾊﾞｯｸﾁｪｯｸ停止")},
              {QStringLiteral("MENUEND"), QStringLiteral("終了")}}},
            {QStringLiteral("MENUSETUP"), QStringLiteral("設定"),
             {{QStringLiteral("MENUOPTION"), QStringLiteral("ｵﾌﾟｼｮﾝ")},
              {QStringLiteral("MENUMAILAUTH"), QStringLiteral("ｺｰﾙﾊﾞｯｸﾒｰﾙの認証")},
              {QStringLiteral("MENUREPLY"), QStringLiteral("ｺｰﾙﾊﾞｯｸﾒｰﾙへの返信と切断")},
              {QStringLiteral("SET_CONNECT"), QStringLiteral("ﾀﾞｲｱﾙｱｯﾌﾟ接続開始")},
              {QStringLiteral("SET_DISCONNECT"), QStringLiteral("ﾀﾞｲｱﾙｱｯﾌﾟ接続切断")},
              {QStringLiteral("MENUCHECK"), QStringLiteral("ﾒｰﾙｻｰﾊﾞｰﾁｪｯｸ")}}},
            {QStringLiteral("MENUヘルプ"), QStringLiteral("ﾍﾙﾌﾟ"),
             {{QStringLiteral("MENUHELP"), QStringLiteral("ﾍﾙﾌﾟ")},
              {QStringLiteral("MENUVERSION"), QStringLiteral("ﾊﾞｰｼﾞｮﾝ")}}}};

        const QList<QAction *> bar = h.window->menuBar()->actions();
        QCOMPARE(bar.size(), designed.size());
        for (int m = 0; m < designed.size(); ++m) {
            QMenu *menu = bar.at(m)->menu();
            QVERIFY(menu);
            QCOMPARE(menu->objectName(), designed.at(m).name);
            QCOMPARE(menu->title(), designed.at(m).caption);
            const QList<QAction *> items = menu->actions();
            QCOMPARE(items.size(), designed.at(m).items.size());
            for (int i = 0; i < items.size(); ++i) {
                QCOMPARE(items.at(i)->objectName(), designed.at(m).items.at(i).first);
                QCOMPARE(items.at(i)->text(), designed.at(m).items.at(i).second);
                QVERIFY(items.at(i)->isEnabled() && items.at(i)->isVisible());
                QVERIFY(!items.at(i)->isCheckable() && !items.at(i)->isSeparator());
                QVERIFY(items.at(i)->shortcut().isEmpty());
            }
        }
    }

    void help_does_nothing()
    {
        AppRig h;
        const QString log = h.core->eventLog().text();
        h.trigger("MENUHELP");
        QCOMPARE(h.core->eventLog().text(), log);
        QVERIFY(h.fakes.boxes.shown.isEmpty());
        QCOMPARE(h.ended, 0);
    }

    void windows_open_modeless_and_once()
    {
        AppRig h;
        h.window->show();
        h.trigger("MENUOPTION");
        h.trigger("MENUOPTION");
        QTRY_VERIFY(h.window->setupDialog()->isVisible());
        QVERIFY(!h.window->setupDialog()->isModal());
        QCOMPARE(h.window->findChildren<SetupDialog *>().size(), 1);

        h.trigger("MENUCHECK");
        h.trigger("MENUCHECK");
        QTRY_VERIFY(h.window->pop3Window().isVisible());
        QCOMPARE(h.window->findChildren<Pop3Window *>().size(), 1);

        h.trigger("MENUVERSION");
        h.trigger("MENUVERSION");
        QTRY_VERIFY(h.window->versionBox()->dialog() && h.window->versionBox()->dialog()->isVisible());
        QCOMPARE(h.window->findChildren<VersionDialog *>().size(), 1);

        // Monitoring goes on while they are open.
        h.trigger("TERNCALLSTART");
        QVERIFY(h.core->checkCycle().monitoring());
    }

    void closing_the_main_window_ends_the_program()
    {
        AppRig h;
        h.window->show();
        h.window->close();
        QCOMPARE(h.ended, 1);
        AppRig viaMenu;
        viaMenu.trigger("MENUEND");
        QCOMPARE(viaMenu.ended, 1);
    }

    void the_icon_has_both_designed_sizes()
    {
        const QIcon icon = applicationIcon();
        QVERIFY(!icon.isNull());
        const QList<QSize> sizes = icon.availableSizes();
        QVERIFY(sizes.contains(QSize(16, 16)));
        QVERIFY(sizes.contains(QSize(32, 32)));
    }
};

QTEST_MAIN(TestMenus)
#include "tst_menus.moc"
