#include "main_window.h"

#include "dial_commands.h"
#include "pop3_session.h"
#include "pop3_window.h"
#include "qt_tcp_socket.h"
#include "session_report.h"
#include "session_settings.h"
#include "settings_store.h"
#include "setup_dialog.h"
#include "version_box.h"
#include "dialup_connection.h"
#include "twips.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QScreen>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextCursor>

namespace ringlark {

MainWindow::MainWindow(const AppServices &services, AppState &state, QWidget *parent)
    : QMainWindow(parent), m_services(services), m_state(state)
{
    setObjectName(QStringLiteral("MAIN"));
    setWindowTitle(QStringLiteral("RINGLARK"));
    m_cycle = new CheckCycle(m_state, m_log, m_services.settingsStore, this);
    m_pop3 = new Pop3Session(m_state.session, [this] { return sessionSettings(m_state.settings); },
                             m_services.makeSocket ? m_services.makeSocket()
                                                   : std::make_unique<QtTcpSocket>(),
                             m_services.messageBox, m_services.watchdogMs, this);
    // A tick starts its session as if Command1 of the POP3 window were pressed, and waits
    // for SessionStep to reach Quit or Stop.
    m_pop3Report = new SessionReport(*m_pop3, this);
    m_cycle->setSessionStarter([this] { m_pop3->Command1_Click(); });
    connect(m_pop3, &Pop3Session::sessionStepChanged, m_cycle, &CheckCycle::sessionStepChanged);
    connect(m_pop3, &Pop3Session::serverSilent, &m_log, [this] {
        m_log.setStatus(QStringLiteral("状況：メールサーバーが応答しません"));
    });
    buildWidgets();
    buildMenus();
    // Fixed size: the designed client area below the menu bar.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    Form_Load();

    // The settings dialog lives, hidden, for the whole run; its buttons and frame only hide it.
    m_setup = new SetupDialog(m_state.settings, m_services.settingsStore, m_state.entries, this);
    connect(action("MENUOPTION"), &QAction::triggered, m_setup, &SetupDialog::showFromMenu);
    m_versionBox = new VersionBox(m_services.registry, m_services.launcher,
                                  m_services.messageBox, this);
    connect(action("MENUVERSION"), &QAction::triggered, this,
            [this] { m_versionBox->showFromMenu(this); });
    connect(action("SET_CONNECT"), &QAction::triggered, m_dial, &DialCommands::SET_CONNECT_Click);
    connect(action("SET_DISCONNECT"), &QAction::triggered, m_dial,
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
    connect(m_setup, &SetupDialog::settingsWriteFailed, this, [this] {
        m_log.appendLog(QStringLiteral("設定を保存できませんでした"));
    });
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
    connect(&m_log, &EventLog::statusChanged, m_labelJyokyo, &QLabel::setText);
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
             {"SET_CONNECT", QStringLiteral("ﾀﾞｲｱﾙｱｯﾌﾟ接続開始")},
             {"SET_DISCONNECT", QStringLiteral("ﾀﾞｲｱﾙｱｯﾌﾟ接続切断")},
             {"MENUCHECK", QStringLiteral("ﾒｰﾙｻｰﾊﾞｰﾁｪｯｸ")}});
    addMenu(QStringLiteral("MENUヘルプ"), QStringLiteral("ﾍﾙﾌﾟ"),
            {{"MENUHELP", QStringLiteral("ﾍﾙﾌﾟ")}, {"MENUVERSION", QStringLiteral("ﾊﾞｰｼﾞｮﾝ")}});

    connect(action("TERNCALLSTART"), &QAction::triggered, m_cycle, &CheckCycle::startCommand);
    connect(action("TERNCALLSTOP"), &QAction::triggered, m_cycle, &CheckCycle::stopCommand);
    connect(action("MENUEND"), &QAction::triggered, this, &MainWindow::Form_Unload);
    // MENUHELP does nothing.
}

Pop3Window &MainWindow::pop3Window()
{
    if (!m_pop3Window)
        m_pop3Window = new Pop3Window(*m_pop3, *m_pop3Report, this);
    return *m_pop3Window;
}

void MainWindow::Form_Unload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    // A check waiting for its session is abandoned: no dial, no LASTDATE, no log line.
    m_cycle->abandon();
    if (m_services.endProgram)
        m_services.endProgram();
    else
        QCoreApplication::exit(0);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // Closing the main window always ends the program.
    Form_Unload();
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

void MainWindow::Form_Load()
{
    // The dial-up object and the entry list. Listing never fails loudly: no entries, or a
    // provider that cannot list them, leaves the list empty.
    m_fInet = new WinInet(m_services.dialUp, this);
    m_dial = new DialCommands(*m_fInet, m_state.entries, m_log, m_services.messageBox,
                              m_services.clock,
                              [this] { return static_cast<quintptr>(winId()); }, this);
    m_cycle->setDialCommand([this] { m_dial->SET_CONNECT_Click(); });
    QStringList names;
    m_fInet->ListDUNs(names);
    m_state.entries.clear();
    for (const QString &name : names)
        m_state.entries.addItem(name);

    m_state.settings.load(m_services.settingsStore);

    const QString entry = m_state.settings.DialUpEntry.toString();
    if (!entry.isEmpty())
        m_state.entries.selectExact(entry);

    m_log.replaceAll(QStringLiteral("初期化終了しました"));

    if (m_state.settings.AutoStart.toString() == QStringLiteral("1")) {
        m_cycle->CmdStart_Click();
        m_log.appendWithoutCaret(QStringLiteral("起動しました"));
    }
}

} // namespace ringlark
