#include "pop3_window.h"

#include "date_text.h"
#include "mail_session.h"
#include "session_report.h"
#include "twips.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextCursor>

namespace ringlark {

Pop3Window::Pop3Window(MailSession &session, SessionReport &report, QWidget *parent)
    : QWidget(parent, Qt::Window), m_session(session), m_report(report), m_dpi(logicalDpi(this))
{
    setObjectName(QStringLiteral("POP3"));
    setWindowTitle(QStringLiteral("POP3　debug window"));
    resize(twipsSize(9420, 10905, m_dpi));

    addLabel("Label1", QStringLiteral("POP3ｻｰﾊﾞ："), 480, 120, 975, 255);
    m_label4 = addLabel("Label4", QStringLiteral("Label4"), 1560, 120, 2055, 255);
    m_label9 = addLabel("Label9", report.mailNumber(), 4560, 120, 3855, 255);
    addLabel("Label2", QStringLiteral("ﾕｰｻﾞ名　　："), 480, 480, 975, 255);
    m_label5 = addLabel("Label5", QStringLiteral("Label5"), 1560, 480, 2055, 255);
    m_label10 = addLabel("Label10", report.step(), 4560, 600, 4215, 255);
    addLabel("Label3", QStringLiteral("ﾊﾟｽﾜｰﾄﾞ 　："), 480, 840, 975, 255);
    m_label6 = addLabel("Label6", QStringLiteral("Label6"), 1560, 840, 2055, 255);
    m_label11 = addLabel("Label11", report.lastDate(), 4560, 1080, 4335, 255);
    addLabel("Label8", QStringLiteral("最新ﾒｰﾙ日時："), 240, 1200, 1215, 255);
    m_label7 = addLabel("Label7", report.newestMail(), 1560, 1200, 2295, 255);

    m_command1 = new QPushButton(QStringLiteral("受　信"), this);
    m_command1->setObjectName(QStringLiteral("Command1"));
    placeTwips(m_command1, 6000, 1440, 1215, 495, m_dpi);
    m_command2 = new QPushButton(QStringLiteral("戻る"), this);
    m_command2->setObjectName(QStringLiteral("Command2"));
    placeTwips(m_command2, 7440, 1440, 1215, 495, m_dpi);
    for (QPushButton *b : {m_command1, m_command2}) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }
    m_command1->setEnabled(!session.isRunning());

    m_text6 = addText("Text6", 120, 2040, 9135, 1935);
    m_text6->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_text6->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_text6->setPlainText(report.results());

    m_text4 = addText("Text4", 120, 4200, 9135, 6735);
    m_text4->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_text4->setMaximumBlockCount(report.traffic().maxLines());
    // Monospaced, with Japanese glyphs: the traffic carries Japanese header text.
    QFont mono(QStringLiteral("Noto Sans Mono CJK JP"), 9);
    mono.setFamilies({QStringLiteral("Noto Sans Mono CJK JP"), QStringLiteral("monospace")});
    mono.setStyleHint(QFont::Monospace);
    m_text4->setFont(mono);
    appendTo(m_text4, report.traffic().text());

    connect(m_command1, &QPushButton::clicked, &session, &MailSession::Command1_Click);
    connect(m_command2, &QPushButton::clicked, this, &Pop3Window::Command2_Click);
    connect(&session, &MailSession::runningChanged, m_command1,
            [this](bool running) { m_command1->setEnabled(!running); });
    connect(&report, &SessionReport::newestMailChanged, m_label7, &QLabel::setText);
    connect(&report, &SessionReport::progressChanged, this, &Pop3Window::showProgress);
    connect(&report, &SessionReport::resultsReplaced, m_text6, &QPlainTextEdit::setPlainText);
    connect(&report, &SessionReport::resultsAppended, this,
            [this](const QString &text) { appendTo(m_text6, text); });
    connect(&report.traffic(), &TrafficLog::cleared, m_text4, &QPlainTextEdit::clear);
    connect(&report.traffic(), &TrafficLog::appended, this,
            [this](const QString &text) { appendTo(m_text4, text); });
}

void Pop3Window::Form_Activate()
{
    const SessionSettings settings = m_session.currentSettings();
    m_label4->setText(settings.account.server);
    m_label5->setText(settings.account.user);
    m_label6->setText(QString(settings.account.password.size(), u'*'));
    const std::optional<QDateTime> &last = settings.rules.lastDate;
    m_report.setNewestMail(last ? dateText(*last) : settings.rules.lastDateText);
}

void Pop3Window::Command2_Click()
{
    hide();
}

void Pop3Window::closeEvent(QCloseEvent *event)
{
    // Hiding, not destroying: the session, its socket and its watchdog must live on, or
    // the check cycle would wait for an ending that never comes.
    event->ignore();
    hide();
}

void Pop3Window::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        Form_Activate();
}

QLabel *Pop3Window::addLabel(const char *name, const QString &text, int left, int top, int width,
                             int height)
{
    auto *label = new QLabel(text, this);
    label->setObjectName(QLatin1String(name));
    placeTwips(label, left, top, width, height, m_dpi);
    return label;
}

QPlainTextEdit *Pop3Window::addText(const char *name, int left, int top, int width, int height)
{
    auto *edit = new QPlainTextEdit(this);
    edit->setObjectName(QLatin1String(name));
    edit->setReadOnly(true);
    edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    placeTwips(edit, left, top, width, height, m_dpi);
    return edit;
}

void Pop3Window::appendTo(QPlainTextEdit *edit, const QString &text)
{
    if (text.isEmpty())
        return;
    QScrollBar *bar = edit->verticalScrollBar();
    const bool atEnd = bar->value() == bar->maximum();
    QString plain = text;
    plain.remove(u'\r');
    QTextCursor cursor(edit->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(plain);
    if (atEnd)
        bar->setValue(bar->maximum());
}

void Pop3Window::showProgress()
{
    m_label9->setText(m_report.mailNumber());
    m_label10->setText(m_report.step());
    m_label11->setText(m_report.lastDate());
}

} // namespace ringlark
