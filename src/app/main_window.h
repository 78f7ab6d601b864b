#pragma once

#include "app_core.h"
#include "check_cycle.h"
#include "event_log.h"

#include <QMainWindow>

class QAction;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace ringlark {

class Pop3Window;
class SetupDialog;
class TriggerChecksDialog;
class VersionBox;

// MAIN: the status line, the start/stop button, the log box and the menu bar. A view of the
// application core: it shows the event log and the check cycle and forwards the commands.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(AppCore &core, QWidget *parent = nullptr);
    ~MainWindow() override;

    // The settings dialog, created hidden on first use.
    SetupDialog *setupDialog();
    // The window of the trigger mail's checks, created hidden on first use.
    TriggerChecksDialog *triggerChecksDialog();
    VersionBox *versionBox() const { return m_versionBox; }
    // The POP3 window, created hidden on first use.
    Pop3Window &pop3Window();

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void buildWidgets();
    void buildMenus();
    void showButtonState();
    QAction *action(const char *name) const;

    AppCore &m_core;
    CheckCycle *m_cycle = nullptr;
    EventLog &m_log;

    QLabel *m_labelJyokyo = nullptr;
    QPushButton *m_cmdStart = nullptr;
    QPlainTextEdit *m_txtStatus = nullptr;
    QLabel *m_lblHeadings = nullptr;
    SetupDialog *m_setup = nullptr;
    TriggerChecksDialog *m_triggerChecks = nullptr;
    VersionBox *m_versionBox = nullptr;
    Pop3Window *m_pop3Window = nullptr;
    bool m_shownOnce = false;
};

} // namespace ringlark
