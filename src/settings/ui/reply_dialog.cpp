#include "reply_dialog.h"

#include "reply_settings.h"
#include "settings_store.h"

#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace ringlark {

namespace {

struct Field
{
    const char *name; // object name
    const char *caption;
    const char *placeholder;
    QString ReplySettings::*entry;
};

const Field kFields[] = {
    {"replyFrom", "差出人", "空欄: ﾕｰｻﾞｰ名がﾒｰﾙｱﾄﾞﾚｽならそれ", &ReplySettings::replyFrom},
    {"smtpServer", "SMTPｻｰﾊﾞｰ", "smtps://smtp.example.com または smtp://…:587",
     &ReplySettings::smtpServer},
    {"smtpUser", "SMTPﾕｰｻﾞｰ名", "空欄: POP3と同じ", &ReplySettings::smtpUser},
    {"smtpPassword", "SMTPﾊﾟｽﾜｰﾄﾞ", "空欄: POP3と同じ", &ReplySettings::smtpPassword},
    {"hangUpSubject", "切断の件名", "この語も件名にあれば接続せず切断（空欄: しない）",
     &ReplySettings::hangUpSubject},
    {"hangUpAfter", "自動切断（分）", "ﾒｰﾙで接続してから切断するまで（空欄・0: しない）",
     &ReplySettings::hangUpAfter},
};

} // namespace

ReplyDialog::ReplyDialog(ReplySettings &settings, SettingsStore &store, QWidget *parent)
    : QDialog(parent), m_settings(settings), m_store(store)
{
    setObjectName(QStringLiteral("ReplySettings"));
    setWindowTitle(QStringLiteral("ｺｰﾙﾊﾞｯｸﾒｰﾙへの返信と切断"));
    setModal(false);

    m_replyCheck = new QCheckBox(QStringLiteral("接続の結果を送信者にﾒｰﾙで返信する"), this);
    m_replyCheck->setObjectName(QStringLiteral("replyCheck"));
    auto *grid = new QGridLayout;
    grid->setColumnMinimumWidth(0, 20);
    int row = 0;
    for (const Field &f : kFields) {
        if (f.entry == &ReplySettings::hangUpSubject) {
            auto *line = new QFrame(this);
            line->setFrameShape(QFrame::HLine);
            line->setFrameShadow(QFrame::Sunken);
            grid->addWidget(line, row++, 0, 1, 3);
        }
        auto *edit = new QLineEdit(this);
        edit->setObjectName(QString::fromLatin1(f.name));
        edit->setPlaceholderText(QString::fromUtf8(f.placeholder));
        edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance(edit->placeholderText()) + 16);
        if (f.entry == &ReplySettings::smtpPassword)
            edit->setEchoMode(QLineEdit::Password);
        grid->addWidget(new QLabel(QString::fromUtf8(f.caption), this), row, 1);
        grid->addWidget(edit, row++, 2);
        m_fields.append(edit);
    }
    grid->setColumnStretch(2, 1);

    auto *ok = new QPushButton(QStringLiteral("ＯＫ"), this);
    ok->setObjectName(QStringLiteral("okButton"));
    auto *cancel = new QPushButton(QStringLiteral("キャンセル"), this);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    cancel->setAutoDefault(false);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cancel);
    buttons->addWidget(ok);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_replyCheck);
    layout->addLayout(grid);
    layout->addStretch();
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    connect(ok, &QPushButton::clicked, this, &ReplyDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &ReplyDialog::reject);
}

void ReplyDialog::showFromMenu()
{
    m_replyCheck->setChecked(m_settings.replyOn());
    for (qsizetype i = 0; i < m_fields.size(); ++i)
        m_fields[i]->setText(m_settings.*kFields[i].entry);
    show();
    raise();
    activateWindow();
}

void ReplyDialog::accept()
{
    m_settings.replyCheck = m_replyCheck->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
    for (qsizetype i = 0; i < m_fields.size(); ++i)
        m_settings.*kFields[i].entry = m_fields[i]->text().trimmed();
    const QStringList failed = m_settings.save(m_store);
    hide();
    if (!failed.isEmpty())
        emit settingsWriteFailed(failed);
}

void ReplyDialog::reject()
{
    hide();
}

} // namespace ringlark
