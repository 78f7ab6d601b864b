#pragma once

#include <QDialog>
#include <QStringList>

class QCheckBox;
class QLineEdit;

namespace ringlark {

class SettingsStore;
struct ReplySettings;

// The window of the reply to the trigger's sender and of the hang-ups nobody at the machine
// asks for: by mail, and after a time. Modeless; OK writes its seven keys and nothing else,
// Cancel forgets the edits.
class ReplyDialog : public QDialog
{
    Q_OBJECT
public:
    ReplyDialog(ReplySettings &settings, SettingsStore &store, QWidget *parent = nullptr);

    // Fills the fields from the settings and shows the window.
    void showFromMenu();
    void accept() override;
    void reject() override;

signals:
    // Writing to the store failed for these keys; the settings already hold the new values.
    void settingsWriteFailed(const QStringList &keys);

private:
    ReplySettings &m_settings;
    SettingsStore &m_store;
    QCheckBox *m_replyCheck = nullptr;
    // REPLY_FROM, SMTPSERVER, SMTPUSER, SMTPPASSWORD, HANGUP_SUBJECT, HANGUP_AFTER.
    QList<QLineEdit *> m_fields;
};

} // namespace ringlark
