#pragma once

#include <QDialog>
#include <QStringList>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace ringlark {

class SettingsStore;
struct TriggerChecks;

// The window that sets up the two checks of a trigger mail: the one-time code (with the
// secret shown as a QR code for an authenticator app) and the provider's verdict on the
// sender. Modeless; OK writes its four keys and nothing else, Cancel forgets the edits.
class TriggerChecksDialog : public QDialog
{
    Q_OBJECT
public:
    TriggerChecksDialog(TriggerChecks &checks, SettingsStore &store, QWidget *parent = nullptr);
    ~TriggerChecksDialog() override;

    // Fills the fields from the settings and shows the window. account names the mailbox in
    // the authenticator app; seenIds are the authserv-ids of the newest mail examined.
    void showFromMenu(const QString &account, const QStringList &seenIds);

    void makeNewSecret();
    void accept() override;
    void reject() override;

    // The secret as the window shows it now, not yet saved; and the URI in its QR code.
    QString shownSecret() const { return m_secret; }
    QString shownUri() const;

signals:
    // Writing to the store failed for these keys; the settings already hold the new values.
    void settingsWriteFailed(const QStringList &keys);

private:
    void buildWidgets();
    void showSecret();
    void showSeenIds(const QStringList &seenIds);

    TriggerChecks &m_checks;
    SettingsStore &m_store;
    QString m_account;
    QString m_secret;

    QCheckBox *m_codeCheck = nullptr;
    QLabel *m_qrCode = nullptr;
    QLineEdit *m_secretText = nullptr;
    QPushButton *m_newSecret = nullptr;
    QCheckBox *m_senderCheck = nullptr;
    QComboBox *m_servId = nullptr;
    QLabel *m_seenIds = nullptr;
};

} // namespace ringlark
