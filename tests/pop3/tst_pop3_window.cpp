#include "fakes.h"
#include "pop3_session.h"
#include "pop3_window.h"
#include "qt_tcp_socket.h"
#include "sample_mails.h"
#include "scripted_pop3_server.h"
#include "session_report.h"
#include "session_rig.h"
#include "session_values.h"
#include "twips.h"

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using namespace ringlark;
using namespace ringlark::test;

namespace {
// The window over a real session and socket, talking to a scripted server.
struct WindowRig
{
    WindowRig()
    {
        server.listen();
        for (int n = 1; n <= 3; ++n) {
            MailSpec mailSpec;
            mailSpec.subject = "mail " + QByteArray::number(n);
            server.messages.append(realisticMail(mailSpec));
        }
        settings = sessionSettingsFor(server.address(), QString::fromLatin1(server.user),
                                      QString::fromLatin1(server.password),
                                      QStringLiteral("nobody@nowhere.invalid"), QString());
        settings.rules.subjectCheck = false;
    }
    template <typename T> T *child(const char *name)
    {
        return window.findChild<T *>(QLatin1String(name));
    }

    ScriptedPop3Server server;
    SessionValues values;
    SessionSettings settings;
    FakeMessageBox box;
    Pop3Session session{values, [this] { return settings; }, std::make_unique<QtTcpSocket>(), box};
    SessionReport report{session};
    Pop3Window window{session, report};
};
} // namespace

class TestPop3Window : public QObject
{
    Q_OBJECT
private slots:
    void layout_data();
    void layout();
    void activationShowsSettings();
    void sessionThroughTheWindow();
    void closingOnlyHides();
};

void TestPop3Window::layout_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QRect>("twipsRect");
    const auto row = [](const char *name, const char16_t *text, int l, int t, int w, int h) {
        QTest::newRow(name) << QString::fromLatin1(name) << QString::fromUtf16(text)
                            << QRect(l, t, w, h);
    };
    row("Label1", u"POP3ｻｰﾊﾞ：", 480, 120, 975, 255);
    row("Label4", u"Label4", 1560, 120, 2055, 255);
    row("Label9", u"MailNo:", 4560, 120, 3855, 255);
    row("Label2", u"ﾕｰｻﾞ名　　：", 480, 480, 975, 255);
    row("Label5", u"Label5", 1560, 480, 2055, 255);
    row("Label10", u"MailStep:", 4560, 600, 4215, 255);
    row("Label3", u"ﾊﾟｽﾜｰﾄﾞ 　：", 480, 840, 975, 255);
    row("Label6", u"Label6", 1560, 840, 2055, 255);
    row("Label11", u"最後の起動日時:", 4560, 1080, 4335, 255);
    row("Label8", u"最新ﾒｰﾙ日時：", 240, 1200, 1215, 255);
    row("Label7", u"Label7", 1560, 1200, 2295, 255);
    row("Command1", u"受　信", 6000, 1440, 1215, 495);
    row("Command2", u"戻る", 7440, 1440, 1215, 495);
    row("Text6", u"", 120, 2040, 9135, 1935);
    row("Text4", u"", 120, 4200, 9135, 6735);
}

void TestPop3Window::layout()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(QRect, twipsRect);
    WindowRig rig;
    QCOMPARE(rig.window.objectName(), QStringLiteral("POP3"));
    QCOMPARE(rig.window.windowTitle(), QStringLiteral("POP3　debug window"));
    const int dpi = logicalDpi(&rig.window);
    QWidget *w = rig.window.findChild<QWidget *>(name);
    QVERIFY(w);
    QCOMPARE(w->geometry(), ringlark::twipsRect(twipsRect.x(), twipsRect.y(), twipsRect.width(),
                                                twipsRect.height(), dpi));
    if (auto *label = qobject_cast<QLabel *>(w))
        QCOMPARE(label->text(), text);
    if (auto *button = qobject_cast<QPushButton *>(w)) {
        QCOMPARE(button->text(), text);
        QVERIFY(!button->isDefault() && !button->autoDefault());
    }
    if (auto *edit = qobject_cast<QPlainTextEdit *>(w)) {
        QVERIFY(edit->isReadOnly());
        QVERIFY(edit->toPlainText().isEmpty());
        if (name == u"Text4") {
            QCOMPARE(QFontInfo(edit->font()).family(), QStringLiteral("Noto Sans Mono CJK JP"));
        } else {
            QCOMPARE(edit->lineWrapMode(), QPlainTextEdit::NoWrap);
        }
    }
}

void TestPop3Window::activationShowsSettings()
{
    WindowRig rig;
    rig.settings.account.server = QStringLiteral("pop3s://pop.example.jp");
    rig.settings.account.password = QStringLiteral("8chars!!");
    rig.window.show();
    rig.window.activateWindow();
    QTRY_COMPARE(rig.child<QLabel>("Label4")->text(), QStringLiteral("pop3s://pop.example.jp"));
    QCOMPARE(rig.child<QLabel>("Label5")->text(), QStringLiteral("ringlark"));
    QCOMPARE(rig.child<QLabel>("Label6")->text(), QStringLiteral("********"));
    QCOMPARE(rig.child<QLabel>("Label7")->text(), QStringLiteral("2003/04/01 00:00:00"));

    QTest::mouseClick(rig.child<QPushButton>("Command2"), Qt::LeftButton);
    QVERIFY(rig.window.isHidden());
}

void TestPop3Window::sessionThroughTheWindow()
{
    WindowRig rig;
    rig.window.show();
    auto *command1 = rig.child<QPushButton>("Command1");
    QTest::mouseClick(command1, Qt::LeftButton);
    QVERIFY(!command1->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(command1->isEnabled(), 10000);
    QCOMPARE(rig.server.commands.last(), QByteArray("QUIT"));

    const QString text4 = rig.child<QPlainTextEdit>("Text4")->toPlainText();
    QString expected = rig.report.traffic().text();
    expected.remove(u'\r');
    QCOMPARE(text4 + u'\n', expected + u'\n'); // the view holds exactly the traffic
    QVERIFY(text4.startsWith(QStringLiteral("+OK Scripted POP3 ready.\n")));
    QCOMPARE(text4.count(QString(37, u'-') + u'\n'), 3);
    QCOMPARE(rig.child<QPlainTextEdit>("Text6")->toPlainText().count(QStringLiteral("件名:")), 3);
    QVERIFY(rig.child<QLabel>("Label10")->text().startsWith(QStringLiteral("MailStep:")));
    QCOMPARE(rig.child<QLabel>("Label11")->text(),
             QStringLiteral("最後の起動日時:2003/04/01 00:00:00"));

    // A second session starts with empty views.
    rig.server.messages.clear();
    QTest::mouseClick(command1, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(command1->isEnabled(), 10000);
    QVERIFY(rig.child<QPlainTextEdit>("Text6")->toPlainText().isEmpty());
    QVERIFY(!rig.child<QPlainTextEdit>("Text4")->toPlainText().contains(QString(37, u'-')));
}

void TestPop3Window::closingOnlyHides()
{
    WindowRig rig;
    rig.window.show();
    QPointer<Pop3Window> window(&rig.window);
    rig.values.SessionStep = SessionStep::None;
    rig.session.Command1_Click();
    QSignalSpy lastClosed(qApp, &QGuiApplication::lastWindowClosed);
    rig.window.close();
    QVERIFY(window);
    QCOMPARE(lastClosed.size(), 0); // hidden, not closed: nothing may take it for an end
    QVERIFY(rig.window.isHidden());
    // The session goes on and ends, as the check cycle needs.
    QTRY_VERIFY_WITH_TIMEOUT(!rig.session.isRunning(), 10000);
    QCOMPARE(rig.values.SessionStep, SessionStep::Quit);
    QCOMPARE(rig.server.commands.last(), QByteArray("QUIT"));

    if (qEnvironmentVariableIsSet("RINGLARK_SCREENSHOT_HOLD_MS")) {
        // For a look at the window in the middle of a session: the server answers the
        // walk's last request never, so the session is still running.
        rig.server.answerOverride = [](const QByteArray &c) -> std::optional<QByteArray> {
            return c == "TOP 1 1" ? std::optional<QByteArray>(QByteArray()) : std::nullopt;
        };
        rig.window.show();
        rig.window.activateWindow();
        rig.session.Command1_Click();
        QTest::qWait(qEnvironmentVariableIntValue("RINGLARK_SCREENSHOT_HOLD_MS"));
    }
}

QTEST_MAIN(TestPop3Window)
#include "tst_pop3_window.moc"
