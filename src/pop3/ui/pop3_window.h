#pragma once

#include <QWidget>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace ringlark {

class MailSession;
class SessionReport;

// The POP3 diagnostic window "POP3": a view of the mail session (POP3 or IMAP) and its report.
// Created once and shown or hidden; closing it through the frame only hides it, so a running
// session goes on and still ends (the check cycle waits for that).
class Pop3Window : public QWidget
{
    Q_OBJECT
public:
    Pop3Window(MailSession &session, SessionReport &report, QWidget *parent = nullptr);

    // Each time the window becomes active: server as typed, user, the password as one "*"
    // per character, and LastDate.
    void Form_Activate();
    void Command2_Click();

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    QLabel *addLabel(const char *name, const QString &text, int left, int top, int width,
                     int height);
    QPlainTextEdit *addText(const char *name, int left, int top, int width, int height);
    void appendTo(QPlainTextEdit *edit, const QString &text);
    void showProgress();

    MailSession &m_session;
    SessionReport &m_report;
    int m_dpi;

    QLabel *m_label4 = nullptr;
    QLabel *m_label5 = nullptr;
    QLabel *m_label6 = nullptr;
    QLabel *m_label7 = nullptr;
    QLabel *m_label9 = nullptr;
    QLabel *m_label10 = nullptr;
    QLabel *m_label11 = nullptr;
    QPushButton *m_command1 = nullptr;
    QPushButton *m_command2 = nullptr;
    QPlainTextEdit *m_text4 = nullptr;
    QPlainTextEdit *m_text6 = nullptr;
};

} // namespace ringlark
