#include "application_icon.h"
#include "fake_program_launcher.h"
#include "fake_registry.h"
#include "fakes.h"
#include "twips.h"
#include "version_box.h"
#include "version_dialog.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

using namespace ringlark;
using namespace ringlark::test;

class TestVersionDialog : public QObject
{
    Q_OBJECT

    FakeRegistry registry;
    FakeProgramLauncher launcher;
    FakeMessageBox box;
    QWidget *mainWindow = nullptr;
    VersionBox *holder = nullptr;

    VersionDialog *open()
    {
        holder->showFromMenu(mainWindow);
        return holder->dialog();
    }
    template <typename T> static T *child(QWidget *dialog, const char *name)
    {
        return dialog->findChild<T *>(QString::fromLatin1(name));
    }
    static int versionBoxes()
    {
        int n = 0;
        for (QWidget *w : QApplication::topLevelWidgets())
            n += w->objectName() == QStringLiteral("Version") ? 1 : 0;
        return n;
    }

private slots:
    void initTestCase()
    {
#ifdef RINGLARK_HAVE_RESOURCES
        QVERIFY(!applicationIcon().isNull());
        QApplication::setWindowIcon(applicationIcon());
#else
        QPixmap pixmap(32, 32);
        pixmap.fill(Qt::red);
        QApplication::setWindowIcon(QIcon(pixmap));
#endif
    }
    void init()
    {
        mainWindow = new QWidget;
        mainWindow->show();
        holder = new VersionBox(registry, launcher, box);
        box.shown.clear();
    }
    void cleanup()
    {
        delete holder;
        delete mainWindow;
        QCOMPARE(versionBoxes(), 0);
    }

    void showsTheDesignedTexts()
    {
        VersionDialog *dialog = open();
        QCOMPARE(dialog->objectName(), QStringLiteral("Version"));
        QCOMPARE(dialog->windowTitle(), QStringLiteral("RINGLARKのﾊﾞｰｼﾞｮﾝ情報"));
        QCOMPARE(child<QLabel>(dialog, "lblTitle")->text(), QStringLiteral("RINGLARK"));
        QCOMPARE(child<QLabel>(dialog, "lblVersion")->text(),
                 QStringLiteral("ﾊﾞｰｼﾞｮﾝ ") + QStringLiteral(RINGLARK_EXPECTED_VERSION));
        QCOMPARE(child<QPushButton>(dialog, "cmdSysInfo")->text(),
                 QStringLiteral("ｼｽﾃﾑ情報(&S)..."));
        QCOMPARE(child<QPushButton>(dialog, "cmdOK")->text(), QStringLiteral("OK"));
        QVERIFY(!child<QLabel>(dialog, "lblDisclaimer")->text().isEmpty());
        QCOMPARE(child<QLabel>(dialog, "Label1")->text(), QStringLiteral("RL工房"));

        const QFont title = child<QLabel>(dialog, "lblTitle")->font();
        QVERIFY(title.bold());
        QCOMPARE(title.pointSizeF(), 20.25);

        const QLabel *picture = child<QLabel>(dialog, "picIcon");
        QCOMPARE(picture->pixmap().deviceIndependentSize().toSize(), QSize(32, 32));
        QCOMPARE(picture->size(), QSize(32, 32));
    }

    void hasTheDesignedFrameAndPlace()
    {
        VersionDialog *dialog = open();
        const int dpi = logicalDpi(dialog);
        QCOMPARE(dialog->size(), twipsSize(5730, 2430, dpi));
        QCOMPARE(dialog->minimumSize(), dialog->maximumSize());
        QVERIFY(!(dialog->windowFlags() & Qt::WindowMinMaxButtonsHint));
        QVERIFY(!dialog->isModal());
        const QPoint screenOrigin = dialog->screen()->geometry().topLeft();
        QCOMPARE(dialog->geometry().topLeft(),
                 screenOrigin + QPoint(twips(2340, dpi), twips(1935, dpi)));
        QVERIFY(child<QWidget>(dialog, "Line1_1")->geometry().top() < dialog->height());
        QVERIFY(child<QWidget>(dialog, "Line1_0")->geometry().top() >= dialog->height());
        QCOMPARE(dialog->focusWidget(), child<QWidget>(dialog, "cmdOK"));
    }

    void opensOnceAndFreshAfterOk()
    {
        VersionDialog *first = open();
        QCOMPARE(open(), first);
        QCOMPARE(versionBoxes(), 1);
        QVERIFY(first->isVisible());

        child<QLabel>(first, "lblVersion")->setText(QStringLiteral("stale"));
        QPointer<VersionDialog> gone(first);
        child<QPushButton>(first, "cmdOK")->click();
        QTRY_VERIFY(gone.isNull());
        QCOMPARE(holder->dialog(), nullptr);

        VersionDialog *second = open();
        QCOMPARE(versionBoxes(), 1);
        QCOMPARE(child<QLabel>(second, "lblVersion")->text(),
                 QStringLiteral("ﾊﾞｰｼﾞｮﾝ ") + QStringLiteral(RINGLARK_EXPECTED_VERSION));
    }

    void keysAndFramePressOk_data()
    {
        QTest::addColumn<int>("how"); // 0 Esc, 1 Enter, 2 the frame's close button
        QTest::newRow("Esc") << 0;
        QTest::newRow("Enter") << 1;
        QTest::newRow("close button") << 2;
    }
    void keysAndFramePressOk()
    {
        QFETCH(int, how);
        QPointer<VersionDialog> dialog(open());
        QSignalSpy pressed(child<QPushButton>(dialog, "cmdOK"), &QPushButton::clicked);
        if (how == 0)
            QTest::keyClick(dialog, Qt::Key_Escape);
        else if (how == 1)
            QTest::keyClick(dialog, Qt::Key_Return);
        else
            dialog->close();
        QCOMPARE(pressed.count(), 1);
        QTRY_VERIFY(dialog.isNull());
    }

    void enterOnSysInfoPressesSysInfo()
    {
        QPointer<VersionDialog> dialog(open());
        auto *sysInfo = child<QPushButton>(dialog, "cmdSysInfo");
        QSignalSpy okPressed(child<QPushButton>(dialog, "cmdOK"), &QPushButton::clicked);
        sysInfo->setFocus();
        QTest::keyClick(sysInfo, Qt::Key_Return);
        QCOMPARE(okPressed.count(), 0);
        // An empty registry: the launcher has nothing to start and says so.
        QCOMPARE(box.texts(), QStringList{QStringLiteral("現時点ではｼｽﾃﾑ情報を使用できません")});
        QVERIFY(!dialog.isNull() && dialog->isVisible());
    }
};

QTEST_MAIN(TestVersionDialog)
#include "tst_version_dialog.moc"
