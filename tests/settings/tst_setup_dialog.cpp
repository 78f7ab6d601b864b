#include "dialup_entry_list.h"
#include "fakes.h"
#include "ini_settings_store.h"
#include "settings_form.h"
#include "settings_table.h"
#include "setup_dialog.h"
#include "temp_config_home.h"
#include "twips.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using namespace ringlark;

namespace {

using Values = QMap<QString, QString>;

const QStringList tenKeys{QStringLiteral("POP3SERVER"),    QStringLiteral("USERNAME"),
                          QStringLiteral("PASSWORD"),      QStringLiteral("FROM"),
                          QStringLiteral("FROM_CHECK"),    QStringLiteral("SUBJECT"),
                          QStringLiteral("SUBJECT_CHECK"), QStringLiteral("DIALUPNETWORK"),
                          QStringLiteral("TIMEINTERVAL"),  QStringLiteral("AUTOSTART")};

// The program at start-up: the window exists hidden, the entry list is filled, the table
// loaded and the stored entry selected.
struct Program
{
    explicit Program(const Values &stored = {},
                     const QStringList &items = {QStringLiteral("net1"), QStringLiteral("net2")},
                     SettingsStore *realStore = nullptr)
        : store(realStore ? *realStore : fake)
    {
        fake.values = stored;
        dialog = std::make_unique<SetupDialog>(table, store, entries);
        entries.clear();
        for (const QString &item : items)
            entries.addItem(item);
        table.load(store);
        if (!table.DialUpEntry.toString().isEmpty())
            entries.selectExact(table.DialUpEntry.toString());
    }

    template <typename T> T *child(const char *name) const
    {
        T *w = dialog->findChild<T *>(QString::fromLatin1(name));
        if (!w)
            qFatal("no child %s", name);
        return w;
    }
    QLineEdit *text(int n) const
    {
        return child<QLineEdit>(QStringLiteral("Text%1").arg(n).toLatin1().constData());
    }
    QComboBox *combo() const { return child<QComboBox>("Combo1"); }

    bool open() const
    {
        dialog->showFromMenu();
        return QTest::qWaitForWindowActive(dialog.get());
    }
    void ok() const { QTest::mouseClick(child<QPushButton>("Command2"), Qt::LeftButton); }
    void cancel() const { QTest::mouseClick(child<QPushButton>("Command1"), Qt::LeftButton); }

    test::FakeSettingsStore fake;
    SettingsStore &store;
    SettingsTable table;
    DialUpEntryList entries;
    std::unique_ptr<SetupDialog> dialog;
};

Values storedValues()
{
    return {{QStringLiteral("POP3SERVER"), QStringLiteral("pop.example.com")},
            {QStringLiteral("USERNAME"), QStringLiteral("taro")},
            {QStringLiteral("PASSWORD"), QStringLiteral(" pa ss ")},
            {QStringLiteral("FROM"), QStringLiteral("me@example.com")},
            {QStringLiteral("FROM_CHECK"), QString()},
            {QStringLiteral("SUBJECT"), QStringLiteral("wake up")},
            {QStringLiteral("SUBJECT_CHECK"), QStringLiteral("1")},
            {QStringLiteral("DIALUPNETWORK"), QStringLiteral("net2")},
            {QStringLiteral("TIMEINTERVAL"), QStringLiteral("90s")},
            {QStringLiteral("LASTDATE"), QStringLiteral("2010/05/06 07:08:09")},
            {QStringLiteral("AUTOSTART"), QStringLiteral("1")}};
}

} // namespace

class TestSetupDialog : public QObject
{
    Q_OBJECT
private slots:
    void firstUse();
    void designedTextsAndFocusOrder();
    void okWithoutChangesRewritesTheSameTenValues();
    void storedEntryNoLongerInTheList();
    void entryKeptOnlyWhileLeftAlone_data();
    void entryKeptOnlyWhileLeftAlone();
    void typedNameIsStoredAsTypedAndSelectsNothing();
    void chosenEntrySurvivesCancel();
    void checkedBoxesAreWrittenAsOne();
    void flagsLoadThroughTheLeadingNumber_data();
    void flagsLoadThroughTheLeadingNumber();
    void passwordShowsOneStarPerCharacter();
    void comingBack_data();
    void comingBack();
    void enterAndEscapePressNothing();
    void frameCloseOnlyHides();
    void roundTripThroughTheIniFile();
    void writeFailureIsReported();
};

void TestSetupDialog::firstUse()
{
    Program p;
    QVERIFY(p.dialog->isHidden());
    QVERIFY(p.open());
    for (int n : {1, 2, 3, 4, 5})
        QCOMPARE(p.text(n)->text(), QString());
    QCOMPARE(p.text(6)->text(), QStringLiteral("60"));
    for (const char *box : {"Check1_0", "Check1_1", "Check2"})
        QCOMPARE(p.child<QCheckBox>(box)->checkState(), Qt::Unchecked);
    QCOMPARE(p.combo()->count(), 2);
    QCOMPARE(p.combo()->currentText(), QString());
    QCOMPARE(p.entries.selection(), -1);
    QTRY_VERIFY(p.combo()->hasFocus());
    QVERIFY(p.fake.writes.isEmpty());
}

void TestSetupDialog::designedTextsAndFocusOrder()
{
    Program p;
    QCOMPARE(p.dialog->objectName(), QStringLiteral("SETUP"));
    QCOMPARE(p.dialog->windowTitle(), QStringLiteral("設定"));
    const int dpi = logicalDpi(p.dialog.get());
    QCOMPARE(p.dialog->size(), twipsSize(5190, 6210, dpi));
    QCOMPARE(p.text(1)->geometry(), twipsRect(1440, 120, 3135, 375, dpi));

    // Labels, check boxes and buttons alike: each designed caption on its named control.
    const QList<std::pair<const char *, QString>> captions{
        {"Label1_1", QStringLiteral("POP3ｻｰﾊﾞ")},
        {"Label2", QStringLiteral("ﾕｰｻﾞ名")},
        {"Label3_0", QStringLiteral("ﾊﾟｽﾜｰﾄﾞ")},
        {"Label4", QStringLiteral("ﾒｰﾙｻｰﾊﾞｰをﾁｪｯｸする間隔")},
        {"Label5", QStringLiteral("秒")},
        {"Label3_1", QStringLiteral("コールバック条件設定")},
        {"Label3_2", QStringLiteral("日本語禁止　英数字半角のみ　")},
        {"Label3_3", QStringLiteral("日本語禁止　英数字半角のみ（例 me@example.com)")},
        {"Label1_0", QStringLiteral("コールバックするダイアルアップネットワークの選択")},
        {"Check1_0", QStringLiteral("送信者")},
        {"Check1_1", QStringLiteral("件名")},
        {"Command1", QStringLiteral("キャンセル")},
        {"Command2", QStringLiteral("ＯＫ")}};
    for (const auto &[name, caption] : captions)
        QCOMPARE(p.child<QWidget>(name)->property("text").toString(), caption);
    QVERIFY(p.child<QWidget>("Line1_0") && p.child<QWidget>("Line1_1"));

    // Every caption is shown whole, inside the window, in whatever font the system gives.
    const auto labelsShown = p.dialog->findChildren<QLabel *>();
    for (const QLabel *label : labelsShown) {
        QVERIFY2(label->fontMetrics().horizontalAdvance(label->text()) <= label->width(),
                 qPrintable(label->objectName()));
        QVERIFY(label->geometry().right() < p.dialog->width());
    }
    QCheckBox *autoStart = p.child<QCheckBox>("Check2");
    QVERIFY(autoStart->fontMetrics().horizontalAdvance(autoStart->text()) <
            autoStart->width() - 16);

    // The dialog opens in the entry list; Tab then walks the designed order round.
    QVERIFY(p.open());
    QTRY_VERIFY(p.combo()->hasFocus());
    const QStringList order{
        QStringLiteral("Command1"), QStringLiteral("Command2"), QStringLiteral("Text3"),
        QStringLiteral("Text2"),    QStringLiteral("Text1"),    QStringLiteral("Check1_0"),
        QStringLiteral("Check1_1"), QStringLiteral("Text4"),    QStringLiteral("Text5"),
        QStringLiteral("Text6"),    QStringLiteral("Check2"),   QStringLiteral("Combo1")};
    for (const QString &expected : order) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget *focus = QApplication::focusWidget();
        if (focus && qobject_cast<QComboBox *>(focus->parentWidget()))
            focus = focus->parentWidget();
        QVERIFY(focus);
        QCOMPARE(focus->objectName(), expected);
    }
}

void TestSetupDialog::okWithoutChangesRewritesTheSameTenValues()
{
    Program p(storedValues());
    p.table.LastDate = QDateTime(QDate(2020, 1, 2), QTime(3, 4, 5), Qt::UTC);
    QVERIFY(p.open());
    QCOMPARE(p.combo()->currentText(), QStringLiteral("net2"));
    p.ok();

    QVERIFY(p.dialog->isHidden());
    QCOMPARE(p.fake.writes, tenKeys);
    Values expected = storedValues();
    expected[QStringLiteral("FROM_CHECK")] = QStringLiteral("0"); // loaded as empty text
    QCOMPARE(p.fake.values, expected);
    // Flags are held as the numbers 0 and 1 from now on.
    QCOMPARE(p.table.FromCheck, QVariant(0));
    QCOMPARE(p.table.SubjectCheck, QVariant(1));
    QCOMPARE(p.table.AutoStart, QVariant(1));
    QCOMPARE(p.table.Password, QVariant(QStringLiteral(" pa ss ")));
}

void TestSetupDialog::storedEntryNoLongerInTheList()
{
    Program p({{QStringLiteral("DIALUPNETWORK"), QStringLiteral("gone")}});
    QVERIFY(p.open());
    QCOMPARE(p.combo()->currentText(), QString());
    QCOMPARE(p.entries.selection(), -1);
    p.ok();
    // Kept while the user leaves the field alone; replaced when another entry is chosen.
    QCOMPARE(p.fake.values.value(QStringLiteral("DIALUPNETWORK")), QStringLiteral("gone"));
    QCOMPARE(p.table.DialUpEntry, QVariant(QStringLiteral("gone")));
    QVERIFY(p.open());
    QTest::keyClick(p.combo(), Qt::Key_Down);
    p.ok();
    QCOMPARE(p.fake.values.value(QStringLiteral("DIALUPNETWORK")), p.entries.itemText(0));
}

void TestSetupDialog::entryKeptOnlyWhileLeftAlone_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("shown"); // the entry list's text at OK
    QTest::addColumn<bool>("chosen");   // the user typed in it or chose from it
    QTest::addColumn<QString>("written");
    QTest::newRow("missing from the list, left alone") << "gone" << "" << false << "gone";
    QTest::newRow("missing from the list, cleared") << "gone" << "" << true << "";
    QTest::newRow("missing from the list, other chosen") << "gone" << "net1" << true << "net1";
    QTest::newRow("in the list, shown empty") << "net1" << "" << false << "";
    QTest::newRow("nothing stored") << "" << "" << false << "";
}

void TestSetupDialog::entryKeptOnlyWhileLeftAlone()
{
    QFETCH(QString, stored);
    QFETCH(QString, shown);
    QFETCH(bool, chosen);
    QFETCH(QString, written);
    test::FakeSettingsStore store;
    SettingsTable table;
    table.DialUpEntry = stored;
    SettingsForm form;
    form.dialUpEntry = shown;
    form.entryChosen = chosen;
    QVERIFY(applySettingsForm(form, {QStringLiteral("net1")}, table, store).isEmpty());
    QCOMPARE(store.values.value(QStringLiteral("DIALUPNETWORK")), written);
}

void TestSetupDialog::typedNameIsStoredAsTypedAndSelectsNothing()
{
    Program p({{QStringLiteral("DIALUPNETWORK"), QStringLiteral("net1")}});
    QVERIFY(p.open());
    QCOMPARE(p.entries.selection(), 0);
    QLineEdit *edit = p.combo()->lineEdit();
    edit->selectAll();
    QTest::keyClicks(edit, QStringLiteral("net"));
    QCOMPARE(p.entries.selection(), -1);
    QTest::keyClick(edit, Qt::Key_2);
    QCOMPARE(p.entries.selection(), 1);
    QTest::keyClick(edit, Qt::Key_X);
    QCOMPARE(p.entries.selection(), -1);
    QTest::keyClick(edit, Qt::Key_Return);
    QCOMPARE(p.combo()->count(), 2); // Enter adds nothing to the list
    QCOMPARE(p.entries.count(), 2);

    // Only the exact, case-sensitive name is an item; leaving the field changes nothing.
    edit->selectAll();
    QTest::keyClicks(edit, QStringLiteral("NET1"));
    p.ok();
    QCOMPARE(p.combo()->currentText(), QStringLiteral("NET1"));
    QCOMPARE(p.entries.selection(), -1);
    QCOMPARE(p.entries.editText(), QStringLiteral("NET1"));
    QCOMPARE(p.fake.values.value(QStringLiteral("DIALUPNETWORK")), QStringLiteral("NET1"));
}

void TestSetupDialog::chosenEntrySurvivesCancel()
{
    Program p({{QStringLiteral("DIALUPNETWORK"), QStringLiteral("net1")}},
              {QStringLiteral("net1"), QStringLiteral("same"), QStringLiteral("same")});
    QVERIFY(p.open());
    QTest::keyClick(p.combo(), Qt::Key_Down);
    // The item chosen, not the last one of that name.
    QCOMPARE(p.entries.selection(), 1);
    QCOMPARE(p.entries.editText(), QStringLiteral("same"));
    p.cancel();

    QVERIFY(p.dialog->isHidden());
    QVERIFY(p.fake.writes.isEmpty());
    QCOMPARE(p.table.DialUpEntry, QVariant(QStringLiteral("net1")));
    QCOMPARE(p.entries.selection(), 1); // what the dial command uses until the next opening

    QVERIFY(p.open());
    QCOMPARE(p.entries.selection(), 0);
    QCOMPARE(p.combo()->currentText(), QStringLiteral("net1"));
}

void TestSetupDialog::checkedBoxesAreWrittenAsOne()
{
    Program p;
    QVERIFY(p.open());
    for (const char *box : {"Check1_0", "Check1_1", "Check2"})
        QTest::mouseClick(p.child<QCheckBox>(box), Qt::LeftButton, {}, QPoint(8, 8));
    p.ok();
    for (const char *key : {"FROM_CHECK", "SUBJECT_CHECK", "AUTOSTART"})
        QCOMPARE(p.fake.values.value(QString::fromLatin1(key)), QStringLiteral("1"));
    QCOMPARE(p.table.AutoStart, QVariant(1));
}

void TestSetupDialog::flagsLoadThroughTheLeadingNumber_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("checked");
    QTest::newRow("empty") << QString() << false;
    QTest::newRow("0") << QStringLiteral("0") << false;
    QTest::newRow("1") << QStringLiteral("1") << true;
    QTest::newRow("blank 1") << QStringLiteral(" 1") << true;
    QTest::newRow("0.4") << QStringLiteral("0.4") << false;
    QTest::newRow("text") << QStringLiteral("yes") << false;
}

void TestSetupDialog::flagsLoadThroughTheLeadingNumber()
{
    QFETCH(QString, stored);
    QFETCH(bool, checked);
    SettingsTable table;
    table.SubjectCheck = stored;
    QCOMPARE(settingsForm(table).subjectCheck, checked);
}

void TestSetupDialog::passwordShowsOneStarPerCharacter()
{
    Program p({{QStringLiteral("PASSWORD"), QStringLiteral("s3cret")}});
    QVERIFY(p.open());
    QLineEdit *password = p.text(3);
    QCOMPARE(password->displayText(), QStringLiteral("******"));
    QVERIFY(!password->testAttribute(Qt::WA_InputMethodEnabled));
    password->end(false);
    QTest::keyClicks(password, QStringLiteral("x "));
    QCOMPARE(password->displayText(), QStringLiteral("********"));
    p.ok();
    QCOMPARE(p.fake.values.value(QStringLiteral("PASSWORD")), QStringLiteral("s3cretx "));
}

void TestSetupDialog::comingBack_data()
{
    QTest::addColumn<int>("away"); // 0: another window of the program; 1, 2: a message box
    QTest::addColumn<bool>("refilled");
    QTest::newRow("from another program window") << 0 << true;
    QTest::newRow("box over the dialog") << 1 << false;
    // The window system hands the activation to the box's owner when the box closes.
    QTest::newRow("box owned by the main window") << 2 << false;
}

// Coming back from another window of the program shows the stored values again; coming back
// from a message box keeps the user's edits.
void TestSetupDialog::comingBack()
{
    QFETCH(int, away);
    QFETCH(bool, refilled);
    QWidget mainWindow;
    mainWindow.show();
    QVERIFY(QTest::qWaitForWindowActive(&mainWindow));
    Program p(storedValues());
    QVERIFY(p.open());
    QTest::keyClicks(p.text(1), QStringLiteral("-edit"));
    p.child<QCheckBox>("Check2")->setChecked(false);

    if (away == 0) {
        mainWindow.activateWindow();
        QTRY_COMPARE(QGuiApplication::focusWindow(), mainWindow.windowHandle());
        QCOMPARE(p.text(1)->text(), QStringLiteral("pop.example.com-edit")); // nothing yet
    } else {
        QMessageBox box(QMessageBox::Warning, QStringLiteral("RINGLARK"), QStringLiteral("error"),
                        QMessageBox::Ok, away == 2 ? &mainWindow : p.dialog.get());
        box.open();
        QTRY_COMPARE(QGuiApplication::focusWindow(), box.windowHandle());
        box.accept();
        if (away == 2) {
            mainWindow.activateWindow();
            QTRY_COMPARE(QGuiApplication::focusWindow(), mainWindow.windowHandle());
        }
    }
    p.dialog->activateWindow();
    QTRY_COMPARE(QGuiApplication::focusWindow(), p.dialog->windowHandle());
    QCOMPARE(p.text(1)->text(), refilled ? QStringLiteral("pop.example.com")
                                         : QStringLiteral("pop.example.com-edit"));
    QCOMPARE(p.child<QCheckBox>("Check2")->isChecked(), refilled);
    QVERIFY(p.fake.writes.isEmpty());
}

void TestSetupDialog::enterAndEscapePressNothing()
{
    Program p(storedValues());
    QVERIFY(p.open());
    for (const char *name : {"Command1", "Command2"}) {
        auto *button = p.child<QPushButton>(name);
        QVERIFY(!button->isDefault() && !button->autoDefault());
    }
    const QList<QWidget *> targets{p.combo()->lineEdit(), p.child<QWidget>("Command1"),
                                   p.child<QWidget>("Command2"), p.text(1), p.text(3)};
    for (QWidget *target : targets) {
        target->setFocus();
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
            QTest::keyClick(target, key);
            QVERIFY2(p.dialog->isVisible(), qPrintable(target->objectName()));
        }
    }
    QVERIFY(p.fake.writes.isEmpty());
    QCOMPARE(p.combo()->count(), 2);
}

void TestSetupDialog::frameCloseOnlyHides()
{
    Program p(storedValues());
    QVERIFY(p.open());
    QPointer<SetupDialog> alive(p.dialog.get());
    QTest::keyClick(p.combo(), Qt::Key_Up);
    QCOMPARE(p.entries.selection(), 0);
    QVERIFY(p.dialog->close());

    QVERIFY(alive);
    QVERIFY(p.dialog->isHidden());
    QVERIFY(p.fake.writes.isEmpty());
    QCOMPARE(p.entries.selection(), 0);
    QCOMPARE(p.combo()->count(), 2);
    QVERIFY(p.open());
    QCOMPARE(p.entries.selection(), 1);
}

void TestSetupDialog::roundTripThroughTheIniFile()
{
    test::TempConfigHome home;
    {
        IniSettingsStore first;
        first.write(QStringLiteral("PASSWORD"), QStringLiteral("  pw  "));
        first.write(QStringLiteral("DIALUPNETWORK"), QStringLiteral("net1"));
    }
    IniSettingsStore store;
    Program p({}, {QStringLiteral("net1"), QStringLiteral("net2")}, &store);
    QVERIFY(p.open());
    QCOMPARE(p.text(6)->text(), QStringLiteral("60"));
    QCOMPARE(p.combo()->currentText(), QStringLiteral("net1"));
    p.text(6)->clear();
    QTest::mouseClick(p.child<QCheckBox>("Check2"), Qt::LeftButton, {}, QPoint(8, 8));
    p.ok();
    // An interval monitoring could never run with is refused, edits and window kept.
    QTRY_VERIFY(p.dialog->findChild<QMessageBox *>(QStringLiteral("refusal")));
    QVERIFY(p.dialog->isVisible());
    QCOMPARE(IniSettingsStore().read(QStringLiteral("AUTOSTART"), QString()), QString());
    p.text(6)->setText(QStringLiteral(" 0.5"));
    p.ok();

    IniSettingsStore reread;
    const QString absent = QStringLiteral("<absent>");
    QCOMPARE(reread.read(QStringLiteral("PASSWORD"), absent), QStringLiteral("  pw  "));
    QCOMPARE(reread.read(QStringLiteral("TIMEINTERVAL"), QStringLiteral("60")),
             QStringLiteral(" 0.5"));
    QCOMPARE(reread.read(QStringLiteral("AUTOSTART"), absent), QStringLiteral("1"));
    QCOMPARE(reread.read(QStringLiteral("FROM_CHECK"), absent), QStringLiteral("0"));
    QCOMPARE(reread.read(QStringLiteral("DIALUPNETWORK"), absent), QStringLiteral("net1"));
    QCOMPARE(reread.read(QStringLiteral("LASTDATE"), absent), absent);
}

void TestSetupDialog::writeFailureIsReported()
{
    Program p;
    p.fake.failWrites = true;
    QSignalSpy failed(p.dialog.get(), &SetupDialog::settingsWriteFailed);
    QVERIFY(p.open());
    QTest::keyClicks(p.text(3), QStringLiteral("pw"));
    p.ok();
    QCOMPARE(failed.size(), 1);
    QCOMPARE(failed.at(0).at(0).toStringList(), tenKeys);
    QCOMPARE(p.table.Password, QVariant(QStringLiteral("pw"))); // in effect for this run
}

QTEST_MAIN(TestSetupDialog)
#include "tst_setup_dialog.moc"
