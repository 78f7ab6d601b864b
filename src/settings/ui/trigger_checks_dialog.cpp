#include "trigger_checks_dialog.h"

#include "ok_checks.h"
#include "qr_image.h"
#include "refusal_box.h"
#include "settings_store.h"
#include "trigger_checks.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

namespace ringlark {

namespace {

// Pixels per QR module: the enrolment URI makes a symbol of about 45 modules, which this
// keeps near 200 pixels, easy for a phone camera to read off a screen.
constexpr int ModuleSize = 4;

// Secrets are read off the screen in groups of four, as authenticator apps show them.
QString grouped(const QString &secret)
{
    QString out;
    for (qsizetype i = 0; i < secret.size(); i += 4) {
        if (i > 0)
            out += QLatin1Char(' ');
        out += secret.mid(i, 4);
    }
    return out;
}

QLabel *hint(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setWordWrap(true);
    return label;
}

} // namespace

TriggerChecksDialog::TriggerChecksDialog(TriggerChecks &checks, SettingsStore &store,
                                         QWidget *parent)
    : QDialog(parent), m_checks(checks), m_store(store)
{
    setObjectName(QStringLiteral("TriggerChecks"));
    setWindowTitle(QStringLiteral("ｺｰﾙﾊﾞｯｸﾒｰﾙの認証"));
    setModal(false);
    buildWidgets();
}

TriggerChecksDialog::~TriggerChecksDialog() = default;

void TriggerChecksDialog::buildWidgets()
{
    m_codeCheck = new QCheckBox(QStringLiteral("件名のﾜﾝﾀｲﾑｺｰﾄﾞを確認する"), this);
    m_codeCheck->setObjectName(QStringLiteral("codeCheck"));

    m_qrCode = new QLabel(this);
    m_qrCode->setObjectName(QStringLiteral("qrCode"));
    m_qrCode->setAlignment(Qt::AlignCenter);
    m_qrCode->setFrameShape(QFrame::Box);

    m_secretText = new QLineEdit(this);
    m_secretText->setObjectName(QStringLiteral("secretText"));
    m_secretText->setReadOnly(true);
    m_secretText->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    // Room for 32 symbols in eight groups, so the whole secret is readable at once.
    m_secretText->setMinimumWidth(
        m_secretText->fontMetrics().horizontalAdvance(QStringLiteral("MMMM ").repeated(8)) + 12);

    m_newSecret = new QPushButton(QStringLiteral("新しいｼｰｸﾚｯﾄを作成"), this);
    m_newSecret->setObjectName(QStringLiteral("newSecret"));
    m_newSecret->setAutoDefault(false);

    m_senderCheck = new QCheckBox(QStringLiteral("送信者をﾒｰﾙｻｰﾊﾞｰの認証結果で確認する"), this);
    m_senderCheck->setObjectName(QStringLiteral("senderCheck"));

    m_servId = new QComboBox(this);
    m_servId->setObjectName(QStringLiteral("servId"));
    m_servId->setEditable(true);
    m_servId->setInsertPolicy(QComboBox::NoInsert);
    m_servId->setCompleter(nullptr);
    m_servId->setMinimumContentsLength(24);

    m_seenIds = new QLabel(this);
    m_seenIds->setObjectName(QStringLiteral("seenIds"));
    m_seenIds->setWordWrap(true);
    m_seenIds->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto *ok = new QPushButton(QStringLiteral("ＯＫ"), this);
    ok->setObjectName(QStringLiteral("okButton"));
    auto *cancel = new QPushButton(QStringLiteral("キャンセル"), this);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    cancel->setAutoDefault(false);

    // One-time code: the QR code on the left, the secret and its button on the right.
    auto *secretColumn = new QVBoxLayout;
    secretColumn->addWidget(new QLabel(QStringLiteral("ｼｰｸﾚｯﾄ"), this));
    secretColumn->addWidget(m_secretText);
    secretColumn->addWidget(m_newSecret, 0, Qt::AlignLeft);
    secretColumn->addWidget(
        hint(QStringLiteral("認証ｱﾌﾟﾘでQRｺｰﾄﾞを読み取ってください。ｺｰﾙﾊﾞｯｸﾒｰﾙの件名に、"
                            "ｱﾌﾟﾘが表示する6桁のｺｰﾄﾞを入れて送信します。新しいｼｰｸﾚｯﾄを"
                            "作成すると、以前のｺｰﾄﾞは使えなくなります。"),
             this));
    secretColumn->addStretch();
    auto *codeRow = new QHBoxLayout;
    codeRow->addSpacing(20);
    codeRow->addWidget(m_qrCode, 0, Qt::AlignTop);
    codeRow->addLayout(secretColumn, 1);

    auto *servRow = new QGridLayout;
    servRow->setColumnMinimumWidth(0, 20);
    servRow->addWidget(new QLabel(QStringLiteral("認証ｻｰﾊﾞｰID"), this), 0, 1);
    servRow->addWidget(m_servId, 0, 2);
    servRow->addWidget(m_seenIds, 1, 1, 1, 2);
    servRow->addWidget(
        hint(QStringLiteral("ｵﾌﾟｼｮﾝの送信者欄には、ﾒｰﾙｱﾄﾞﾚｽ全体を入れてください。"), this), 2, 1, 1,
        2);
    servRow->setColumnStretch(2, 1);

    auto *line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cancel);
    buttons->addWidget(ok);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_codeCheck);
    layout->addLayout(codeRow);
    layout->addWidget(line);
    layout->addWidget(m_senderCheck);
    layout->addLayout(servRow);
    layout->addStretch();
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(m_newSecret, &QPushButton::clicked, this, &TriggerChecksDialog::makeNewSecret);
    // A code check without a secret could never pass: switching it on makes one.
    connect(m_codeCheck, &QCheckBox::toggled, this, [this](bool on) {
        if (on && m_secret.isEmpty())
            makeNewSecret();
    });
    connect(ok, &QPushButton::clicked, this, &TriggerChecksDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &TriggerChecksDialog::reject);
}

void TriggerChecksDialog::showFromMenu(const QString &account, const QStringList &seenIds)
{
    // Without a mailbox account yet, the app names the entry after the login.
    m_account = account.isEmpty() ? qEnvironmentVariable("USER") : account;
    m_secret = m_checks.totpSecret;
    {
        const QSignalBlocker block(m_codeCheck);
        m_codeCheck->setChecked(m_checks.codeRequired());
    }
    m_senderCheck->setChecked(m_checks.senderVerdictRequired());
    showSeenIds(seenIds);
    m_servId->setEditText(m_checks.authServId);
    showSecret();
    show();
    raise();
    activateWindow();
}

void TriggerChecksDialog::makeNewSecret()
{
    m_secret = newTotpSecret();
    showSecret();
}

QString TriggerChecksDialog::shownUri() const
{
    return m_secret.isEmpty() ? QString() : otpauthUri(m_secret, m_account);
}

void TriggerChecksDialog::showSecret()
{
    m_secretText->setText(grouped(m_secret));
    const QImage image = qrImage(shownUri().toUtf8(), ModuleSize);
    if (image.isNull()) {
        m_qrCode->setPixmap({});
        m_qrCode->setText(QStringLiteral("ｼｰｸﾚｯﾄがありません"));
        // Keep the room a code would take, so that the window does not jump when one comes.
        const QSize room =
            qrImage(otpauthUri(QString(32, QLatin1Char('A')), m_account).toUtf8(), ModuleSize)
                .size();
        m_qrCode->setFixedSize(room + QSize(2, 2));
    } else {
        m_qrCode->setPixmap(QPixmap::fromImage(image));
        m_qrCode->setFixedSize(image.size() + QSize(2, 2));
    }
}

void TriggerChecksDialog::showSeenIds(const QStringList &seenIds)
{
    m_servId->clear();
    m_servId->addItems(seenIds);
    m_seenIds->setText(seenIds.isEmpty() ? QStringLiteral("最新ﾒｰﾙに認証結果はありません")
                                         : QStringLiteral("最新ﾒｰﾙの認証ｻｰﾊﾞｰID：") +
                                               seenIds.join(QStringLiteral(", ")));
}

void TriggerChecksDialog::accept()
{
    const QString refusal =
        senderVerdictRefusal(m_senderCheck->isChecked(), m_servId->currentText());
    if (!refusal.isEmpty()) {
        showRefusal(this, refusal);
        return;
    }
    m_checks.totpCheck = m_codeCheck->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
    m_checks.totpSecret = m_secret;
    m_checks.authCheck = m_senderCheck->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
    m_checks.authServId = m_servId->currentText().trimmed();
    const QStringList failed = m_checks.save(m_store);
    hide();
    if (!failed.isEmpty())
        emit settingsWriteFailed(failed);
}

void TriggerChecksDialog::reject()
{
    hide();
}

} // namespace ringlark
