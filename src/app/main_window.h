#pragma once

#include "app_services.h"
#include "app_state.h"
#include "check_cycle.h"
#include "event_log.h"

#include <QMainWindow>

class QAction;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace ringlark {

class DialCommands;
class Pop3Session;
class Pop3Window;
class SessionReport;
class SetupDialog;
class VersionBox;
class WinInet;

// MAIN: the status line, the start/stop button, the log box and the menu bar. A view over
// EventLog and CheckCycle, which hold the behaviour.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    MainWindow(const AppServices &services, AppState &state, QWidget *parent = nullptr);
    ~MainWindow() override;

    EventLog &eventLog() { return m_log; }
    CheckCycle &checkCycle() { return *m_cycle; }
    AppState &state() { return m_state; }
    SetupDialog *setupDialog() const { return m_setup; }
    VersionBox *versionBox() const { return m_versionBox; }
    Pop3Session &pop3Session() { return *m_pop3; }
    SessionReport &pop3Report() { return *m_pop3Report; }
    DialCommands &dialCommands() { return *m_dial; }
    WinInet *fInet() const { return m_fInet; }
    // The POP3 window, created hidden on first use.
    Pop3Window &pop3Window();

    // Shutdown, from MENUEND and the window's close box: the program ends at once.
    void Form_Unload();

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void Form_Load();
    void buildWidgets();
    void buildMenus();
    void showButtonState();
    QAction *action(const char *name) const;

    const AppServices m_services;
    AppState &m_state;
    EventLog m_log;
    CheckCycle *m_cycle = nullptr;

    QLabel *m_labelJyokyo = nullptr;
    QPushButton *m_cmdStart = nullptr;
    QPlainTextEdit *m_txtStatus = nullptr;
    QLabel *m_lblHeadings = nullptr;
    SetupDialog *m_setup = nullptr;
    VersionBox *m_versionBox = nullptr;
    Pop3Session *m_pop3 = nullptr;
    SessionReport *m_pop3Report = nullptr;
    WinInet *m_fInet = nullptr;
    DialCommands *m_dial = nullptr;
    Pop3Window *m_pop3Window = nullptr;
    bool m_shownOnce = false;
    bool m_unloaded = false;
};

} // namespace ringlark
