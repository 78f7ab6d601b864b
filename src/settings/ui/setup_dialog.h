#pragma once

#include "activation_tracker.h"

#include <QDialog>
#include <QStringList>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QWindow;

namespace ringlark {

class DialUpEntryList;
class SettingsStore;
struct SettingsTable;

// The settings window "SETUP": modeless, created once and then only shown and hidden.
//
// Controls keep their designed names. Members of a control array are named
// <array>_<index>: Label1(1) is "Label1_1", Check1(0) is "Check1_0", Line1(1) is "Line1_1".
//
// Combo1 is a view of the shared DialUpEntryList: the list, its selection and its edit text
// live in that model for the whole run, so hiding or closing this window loses nothing, and
// the dial command reads the selection from the model.
class SetupDialog : public QDialog
{
    Q_OBJECT
public:
    SetupDialog(SettingsTable &settings, SettingsStore &store, DialUpEntryList &entries,
                QWidget *parent = nullptr);
    ~SetupDialog() override;

    // The menu's "ｵﾌﾟｼｮﾝ": refills the fields and shows the window, or brings it forward
    // when it is already open.
    void showFromMenu();

    // Refills every field from the settings table; runs by itself whenever the user comes
    // back to this window from another window of the program.
    void Form_Activate();

    // Cancel: hides; the entry list keeps the user's choice.
    void Command1_Click();
    // OK: hands the fields to applySettingsForm (table and store), hides.
    void Command2_Click();

signals:
    // Writing to the store failed for these keys; the table already holds the new values.
    void settingsWriteFailed(const QStringList &keys);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildWidgets();
    void connectEntryList();
    void showEntryList();
    void showEntrySelection();
    void onFocusWindowChanged(QWindow *window);

    SettingsTable &m_settings;
    SettingsStore &m_store;
    DialUpEntryList &m_entries;

    QLineEdit *m_text1 = nullptr;
    QLineEdit *m_text2 = nullptr;
    QLineEdit *m_text3 = nullptr;
    QLineEdit *m_text4 = nullptr;
    QLineEdit *m_text5 = nullptr;
    QLineEdit *m_text6 = nullptr;
    QCheckBox *m_check1From = nullptr;
    QCheckBox *m_check1Subject = nullptr;
    QCheckBox *m_check2 = nullptr;
    QComboBox *m_combo1 = nullptr;
    QPushButton *m_command1 = nullptr;
    QPushButton *m_command2 = nullptr;

    // True while the combo box is being brought in line with the model (or the model with
    // the combo box), so that the change does not echo back.
    bool m_syncing = false;
    // Whether the user typed in or chose from Combo1 since the last activation.
    bool m_entryChosen = false;

    ActivationTracker m_activation;
};

} // namespace ringlark
