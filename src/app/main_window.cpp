#include "main_window.h"

#include "dial_commands.h"
#include "pop3_session.h"
#include "pop3_window.h"
#include "session_switch.h"
#include "setup_dialog.h"
#include "text_fit.h"
#include "trigger_checks_dialog.h"
#include "twips.h"
#include "version_box.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFont>
#include <QScreen>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextCursor>

namespace ringlark {

MainWindow::MainWindow(AppCore &core, QWidget *parent)
    : QMainWindow(parent), m_core(core), m_cycle(&core.checkCycle()), m_log(core.eventLog())
{
    setObjectName(QStringLiteral("MAIN"));
    setWindowTitle(QStringLiteral("RINGLARK"));
    m_core.setWindowHandle([this] { return static_cast<quintptr>(winId()); });
    buildWidgets();
    buildMenus();
    // Fixed size: the designed client area below the menu bar.
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    connect(action("MENUOPTION"), &QAction::triggered, this,
            [this] { setupDialog()->showFromMenu(); });
    m_versionBox = new VersionBox(m_core.services().registry, m_core.services().launcher,
                                  m_core.services().messageBox, this);
    connect(action("MENUVERSION"), &QAction::triggered, this,
            [this] { m_versionBox->showFromMenu(this); });
    DialCommands *dial = &m_core.dialCommands();
    connect(action("SET_CONNECT"), &QAction::triggered, dial, &DialCommands::SET_CONNECT_Click);
    connect(action("SET_DISCONNECT"), &QAction::triggered, dial,
            &DialCommands::SET_DISCONNECT_Click);
    connect(action("MENUCHECK"), &QAction::triggered, this, [this] {
        Pop3Window &window = pop3Window();
        window.show();
        window.raise();
        window.activateWindow();
        // Showing it makes it the active window; where the window system does not
        // activate it (no window manager), its values are filled all the same.
        window.Form_Activate();
    });
    // The checks of a trigger mail: the account names the mailbox in the authenticator app,
    // and the newest mail examined shows which authserv-ids the provider writes.
    connect(action("MENUMAILAUTH"), &QAction::triggered, this, [this] {
        const AppState &s = m_core.state();
        triggerChecksDialog()->showFromMenu(settingText(s.settings.UserName),
                                            s.session.SessionNewestAuthservIds);
    });
}

SetupDialog *MainWindow::setupDialog()
{
    // Created on first use, then kept, hidden, for the whole run: its buttons and frame only
    // hide it. Not at start-up: fitting its many captions loads a few megabytes of font
    // and widget code that a program left to monitor never needs. The entry list it shows
    // lives in the shared model, filled at start-up all the same.
    if (!m_setup) {
        AppState &state = m_core.state();
        m_setup = new SetupDialog(state.settings, m_core.services().settingsStore, state.entries,
                                  this);
        connect(m_setup, &SetupDialog::settingsWriteFailed, this, [this] {
            m_log.appendLog(QStringLiteral("設定を保存できませんでした"));
        });
    }
    return m_setup;
}

TriggerChecksDialog *MainWindow::triggerChecksDialog()
{
    // Like the settings dialog, made only when first asked for.
    if (!m_triggerChecks) {
        m_triggerChecks = new TriggerChecksDialog(m_core.state().settings.triggerChecks,
                                                  m_core.services().settingsStore, this);
        connect(m_triggerChecks, &TriggerChecksDialog::settingsWriteFailed, this, [this] {
            m_log.appendLog(QStringLiteral("設定を保存できませんでした"));
        });
    }
    return m_triggerChecks;
}

MainWindow::~MainWindow() = default;

void MainWindow::buildWidgets()
{
    auto *client = new QWidget(this);
    setCentralWidget(client);
    const int dpi = logicalDpi(this);

    m_labelJyokyo = new QLabel(m_log.status(), client);
    m_labelJyokyo->setObjectName(QStringLiteral("Label_jyokyo"));
    placeTwips(m_labelJyokyo, 240, 120, 2895, 255, dpi);

    m_cmdStart = new QPushButton(m_cycle->caption(), client);
    m_cmdStart->setObjectName(QStringLiteral("CmdStart"));
    placeTwips(m_cmdStart, 3120, 0, 855, 375, dpi);

    m_txtStatus = new QPlainTextEdit(client);
    m_txtStatus->setObjectName(QStringLiteral("txtStatus"));
    m_txtStatus->setReadOnly(true);
    m_txtStatus->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_txtStatus->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    // The same bound as the log's text, plus the empty line after the last CR LF.
    m_txtStatus->setMaximumBlockCount(EventLog::kMaxLines + 1);
    placeTwips(m_txtStatus, 105, 420, 3900, 4065, dpi);

    m_lblHeadings = new QLabel(QStringLiteral("PAT.P "), client);
    m_lblHeadings->setObjectName(QStringLiteral("lblHeadings"));
    placeTwips(m_lblHeadings, 120, 4560, 2055, 225, dpi);

    setTabOrder(m_txtStatus, m_cmdStart);

    connect(m_cmdStart, &QPushButton::clicked, m_cycle, &CheckCycle::CmdStart_Click);
    connect(m_cycle, &CheckCycle::buttonChanged, this, &MainWindow::showButtonState);
    const QRect designedStatus = m_labelJyokyo->geometry();
    connect(&m_log, &EventLog::statusChanged, m_labelJyokyo, [this, designedStatus](const QString &text) {
        // Each text is fitted afresh from the designed box: the longest ones need more
        // than the designed width in the default 9-point font.
        m_labelJyokyo->setText(text);
        m_labelJyokyo->setFont(QFont());
        m_labelJyokyo->setGeometry(designedStatus);
        fitCaption(m_labelJyokyo);
    });
    connect(&m_log, &EventLog::replaced, m_txtStatus, [this](const QString &message) {
        m_txtStatus->setPlainText(message + QLatin1Char('\n'));
    });
    connect(&m_log, &EventLog::appended, m_txtStatus,
            [this](const QString &message, bool moveCaret) {
                // Insert through a cursor of our own so that start-up's lines leave the
                // caret where it is, as designed; AppendLog then moves it to the end.
                QTextCursor end(m_txtStatus->document());
                end.movePosition(QTextCursor::End);
                end.insertText(message + QLatin1Char('\n'));
                if (moveCaret) {
                    m_txtStatus->moveCursor(QTextCursor::End);
                    m_txtStatus->ensureCursorVisible();
                }
            });

    client->setFixedSize(twipsSize(4110, 4785, dpi));
}

void MainWindow::buildMenus()
{
    struct Item
    {
        const char *name;
        QString caption;
    };
    const auto addMenu = [this](const QString &name, const QString &caption,
                                std::initializer_list<Item> items) {
        QMenu *menu = menuBar()->addMenu(caption);
        menu->setObjectName(name);
        for (const Item &item : items) {
            QAction *action = menu->addAction(item.caption);
            action->setObjectName(QString::fromLatin1(item.name));
        }
    };
    addMenu(QStringLiteral("MENU"), QStringLiteral("ｱｸｼｮﾝ"),
            {{"TERNCALLSTART", QStringLiteral("ﾒｰﾙでｺｰﾙﾊﾞｯｸﾁｪｯｸ開始")},
             {"TERNCALLSTOP", QStringLiteral("ﾒｰﾙでｺｰﾙﾊﾞｯｸﾁｪｯｸ停止")},
             {"MENUEND", QStringLiteral("終了")}});
    addMenu(QStringLiteral("MENUSETUP"), QStringLiteral("設定"),
            {{"MENUOPTION", QStringLiteral("ｵﾌﾟｼｮﾝ")},
             {"MENUMAILAUTH", QStringLiteral("ｺｰﾙﾊﾞｯｸﾒｰﾙの認証")},
             {"SET_CONNECT", QStringLiteral("ﾀﾞｲｱﾙｱｯﾌﾟ接続開始")},
             {"SET_DISCONNECT", QStringLiteral("ﾀﾞｲｱﾙｱｯﾌﾟ接続切断")},
             {"MENUCHECK", QStringLiteral("ﾒｰﾙｻｰﾊﾞｰﾁｪｯｸ")}});
    addMenu(QStringLiteral("MENUヘルプ"), QStringLiteral("ﾍﾙﾌﾟ"),
            {{"MENUHELP", QStringLiteral("ﾍﾙﾌﾟ")}, {"MENUVERSION", QStringLiteral("ﾊﾞｰｼﾞｮﾝ")}});

    connect(action("TERNCALLSTART"), &QAction::triggered, m_cycle, &CheckCycle::startCommand);
    connect(action("TERNCALLSTOP"), &QAction::triggered, m_cycle, &CheckCycle::stopCommand);
    connect(action("MENUEND"), &QAction::triggered, &m_core, &AppCore::Form_Unload);
    // MENUHELP does nothing.
}

Pop3Window &MainWindow::pop3Window()
{
    if (!m_pop3Window)
        m_pop3Window = new Pop3Window(m_core.mailSession(), m_core.pop3Report(), this);
    return *m_pop3Window;
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // Closing the main window always ends the program.
    m_core.Form_Unload();
    event->accept();
}

void MainWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (m_shownOnce)
        return;
    m_shownOnce = true;
    if (const QScreen *s = screen())
        move(s->availableGeometry().center() - frameGeometry().center() + pos());
}

QAction *MainWindow::action(const char *name) const
{
    return findChild<QAction *>(QString::fromLatin1(name));
}

void MainWindow::showButtonState()
{
    m_cmdStart->setText(m_cycle->caption());
    // The button draws its own background: red while monitoring, button face otherwise.
    // The style sheet names a border too, so that it draws the whole button itself. With a
    // background colour alone the style's cached button drawing is used with a new palette
    // every time, so each repaint (two per check, as the status line beside it changes)
    // adds a pixmap-cache entry under a new key, and Qt 6.4 never forgets the keys: the
    // process would grow for as long as it monitors.
    m_cmdStart->setStyleSheet(
        m_cycle->red() ? QStringLiteral("QPushButton { background-color: #ff0000; "
                                        "border: 2px outset #ff0000; }"
                                        "QPushButton:pressed { border-style: inset; }")
                       : QString());
}

} // namespace ringlark
