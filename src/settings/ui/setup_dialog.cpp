#include "setup_dialog.h"

#include "dialup_entry_list.h"
#include "ok_checks.h"
#include "refusal_box.h"
#include "settings_form.h"
#include "settings_table.h"
#include "text_fit.h"
#include "twips.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QWindow>

namespace ringlark {

namespace {

// The sender field's hint shows what an address looks like.
const QString exampleAddress = QStringLiteral("me@example.com");

QWidget *widgetOf(const QWindow *window)
{
    if (!window)
        return nullptr;
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *w : windows)
        if (w->windowHandle() == window)
            return w;
    return nullptr;
}

bool isPopup(const QWidget *w)
{
    const Qt::WindowType type = w->windowType();
    return type == Qt::Popup || type == Qt::ToolTip || type == Qt::SplashScreen;
}

} // namespace

SetupDialog::SetupDialog(SettingsTable &settings, SettingsStore &store, DialUpEntryList &entries,
                         QWidget *parent)
    : QDialog(parent), m_settings(settings), m_store(store), m_entries(entries)
{
    setObjectName(QStringLiteral("SETUP"));
    setWindowTitle(QStringLiteral("設定"));
    setModal(false);
    setSizeGripEnabled(false);
    buildWidgets();
    connectEntryList();
    connect(qGuiApp, &QGuiApplication::focusWindowChanged, this,
            &SetupDialog::onFocusWindowChanged);
}

SetupDialog::~SetupDialog() = default;

void SetupDialog::buildWidgets()
{
    const int dpi = logicalDpi(this);
    const auto place = [dpi](QWidget *w, const char *name, int left, int top, int width,
                             int height) {
        w->setObjectName(QString::fromLatin1(name));
        placeTwips(w, left, top, width, height, dpi);
    };
    const auto lineEdit = [this, &place](const char *name, int left, int top, int width,
                                         int height) {
        auto *edit = new QLineEdit(this);
        place(edit, name, left, top, width, height);
        return edit;
    };
    const auto checkBox = [this, &place](const QString &caption, const char *name, int left,
                                         int top, int width, int height) {
        auto *box = new QCheckBox(caption, this);
        place(box, name, left, top, width, height);
        return box;
    };
    const auto button = [this, &place](const QString &caption, const char *name, int left, int top,
                                       int width, int height) {
        auto *b = new QPushButton(caption, this);
        place(b, name, left, top, width, height);
        // Enter must press nothing: neither button may become the dialog's default.
        b->setAutoDefault(false);
        b->setDefault(false);
        return b;
    };

    // The focusable controls are created in their focus order, so that the focus chain
    // starts with Combo1 even before the explicit tab order below.
    m_combo1 = new QComboBox(this);
    place(m_combo1, "Combo1", 240, 4680, 4215, 300);
    m_combo1->setEditable(true);
    // Enter must not add what was typed to the list; and no completion, so that the text
    // stays exactly what the user typed.
    m_combo1->setInsertPolicy(QComboBox::NoInsert);
    m_combo1->setCompleter(nullptr);
    m_combo1->setDuplicatesEnabled(true);

    m_command1 = button(QStringLiteral("キャンセル"), "Command1", 2160, 5760, 1095, 375);
    m_command2 = button(QStringLiteral("ＯＫ"), "Command2", 3600, 5760, 1095, 375);

    m_text3 = lineEdit("Text3", 1440, 1080, 3135, 375);
    m_text3->setEchoMode(QLineEdit::Password);
    // Qt's own mask character is a bullet; this field shows one "*" per character.
    m_text3->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));
    m_text3->setAttribute(Qt::WA_InputMethodEnabled, false);
    m_text3->setInputMethodHints(Qt::ImhHiddenText | Qt::ImhSensitiveData |
                                 Qt::ImhNoPredictiveText | Qt::ImhNoAutoUppercase |
                                 Qt::ImhLatinOnly);

    m_text2 = lineEdit("Text2", 1440, 600, 3135, 375);
    m_text1 = lineEdit("Text1", 1440, 120, 3135, 375);
    m_check1From = checkBox(QStringLiteral("送信者"), "Check1_0", 600, 2520, 855, 420);
    m_check1Subject = checkBox(QStringLiteral("件名"), "Check1_1", 600, 3240, 855, 420);
    m_text4 = lineEdit("Text4", 1440, 2520, 3135, 375);
    m_text5 = lineEdit("Text5", 1440, 3360, 3135, 375);
    m_text6 = lineEdit("Text6", 2640, 1680, 495, 270);
    m_check2 = checkBox(QStringLiteral("プログラム起動時、自動的にチェック開始する"), "Check2", 240,
                        5160, 3975, 375);

    // Sender, subject and interval are typed in half-width letters and digits.
    for (QLineEdit *latin : {m_text4, m_text5, m_text6})
        latin->setInputMethodHints(Qt::ImhPreferLatin | Qt::ImhNoPredictiveText |
                                   Qt::ImhNoAutoUppercase);

    const QList<QWidget *> focusOrder{m_combo1, m_command1, m_command2,   m_text3,
                                      m_text2,  m_text1,    m_check1From, m_check1Subject,
                                      m_text4,  m_text5,    m_text6,      m_check2};
    for (qsizetype i = 1; i < focusOrder.size(); ++i)
        setTabOrder(focusOrder.at(i - 1), focusOrder.at(i));
    m_combo1->setFocus();

    const auto label = [this, &place](const QString &caption, const char *name, int left, int top,
                                      int width, int height) {
        auto *l = new QLabel(caption, this);
        l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        place(l, name, left, top, width, height);
        return l;
    };
    label(QStringLiteral("POP3ｻｰﾊﾞ"), "Label1_1", 360, 240, 855, 255);
    label(QStringLiteral("ﾕｰｻﾞ名"), "Label2", 360, 720, 735, 255);
    label(QStringLiteral("ﾊﾟｽﾜｰﾄﾞ"), "Label3_0", 360, 1200, 735, 255);
    label(QStringLiteral("ﾒｰﾙｻｰﾊﾞｰをﾁｪｯｸする間隔"), "Label4", 360, 1800, 2175, 255);
    label(QStringLiteral("秒"), "Label5", 3240, 1800, 375, 255);
    label(QStringLiteral("コールバック条件設定"), "Label3_1", 480, 2280, 1695, 255);
    // With neither test on, any new mail dials: the defaults must not hide that.
    QLabel *bothOff =
        label(QStringLiteral("※両方オフ：全メールで接続"), "bothOffNote", 2760, 2280, 2400, 255);
    const auto showBothOff = [this, bothOff] {
        bothOff->setVisible(!m_check1From->isChecked() && !m_check1Subject->isChecked());
    };
    connect(m_check1From, &QCheckBox::toggled, this, showBothOff);
    connect(m_check1Subject, &QCheckBox::toggled, this, showBothOff);
    label(QStringLiteral("日本語禁止　英数字半角のみ（例 ") + exampleAddress + QLatin1Char(')'),
          "Label3_3", 1200, 3000, 3975, 255);
    label(QStringLiteral("日本語禁止　英数字半角のみ　"), "Label3_2", 1200, 3840, 2295, 255);
    label(QStringLiteral("コールバックするダイアルアップネットワークの選択"), "Label1_0", 240, 4200,
          3975, 375);

    // Separator lines, each drawn from (x1, y) to (x2, y).
    const auto line = [this, dpi](const char *name, int x1, int y, int x2) {
        auto *f = new QFrame(this);
        f->setObjectName(QString::fromLatin1(name));
        f->setFrameShape(QFrame::HLine);
        f->setFrameShadow(QFrame::Sunken);
        const int top = twips(y, dpi);
        f->setGeometry(twips(x1, dpi), top - 1, twips(x2, dpi) - twips(x1, dpi), 2);
    };
    line("Line1_1", 120, 4080, 4800);
    line("Line1_0", 120, 5040, 4800);

    setFixedSize(twipsSize(5190, 6210, dpi));
    fitCaptions(this);

    connect(m_command1, &QPushButton::clicked, this, &SetupDialog::Command1_Click);
    connect(m_command2, &QPushButton::clicked, this, &SetupDialog::Command2_Click);
}

void SetupDialog::connectEntryList()
{
    showEntryList();
    connect(&m_entries, &DialUpEntryList::itemsChanged, this, &SetupDialog::showEntryList);
    connect(&m_entries, &DialUpEntryList::selectionChanged, this, &SetupDialog::showEntrySelection);
    connect(&m_entries, &DialUpEntryList::editTextChanged, this, &SetupDialog::showEntrySelection);

    // What the user types or chooses goes to the model, which decides the selection.
    const auto fromUser = [this](auto toModel) {
        if (m_syncing)
            return;
        m_syncing = true;
        m_entryChosen = true;
        toModel();
        m_syncing = false;
    };
    // A text that is not exactly an item selects nothing.
    connect(m_combo1, &QComboBox::editTextChanged, this, [this, fromUser](const QString &typed) {
        fromUser([this, &typed] { m_entries.setEditText(typed); });
    });
    // An item chosen from the list (also by the arrow keys) selects exactly that item, even
    // where several items have the same name.
    connect(m_combo1, &QComboBox::activated, this, [this, fromUser](int index) {
        fromUser([this, index] { m_entries.setSelection(index); });
    });
}

void SetupDialog::showEntryList()
{
    m_syncing = true;
    m_combo1->clear();
    m_combo1->addItems(m_entries.items());
    m_syncing = false;
    showEntrySelection();
}

void SetupDialog::showEntrySelection()
{
    if (m_syncing)
        return;
    m_syncing = true;
    m_combo1->setCurrentIndex(m_entries.selection());
    m_combo1->setEditText(m_entries.editText());
    m_syncing = false;
}

void SetupDialog::showFromMenu()
{
    // The menu lives in another window of the program, so this is always an activation.
    Form_Activate();
    if (isHidden())
        m_combo1->setFocus();
    show();
    raise();
    activateWindow();
}

void SetupDialog::Form_Activate()
{
    const SettingsForm form = settingsForm(m_settings);
    m_text1->setText(form.pop3Server);
    m_text2->setText(form.userName);
    m_text3->setText(form.password);
    m_text4->setText(form.fromAddress);
    m_check1From->setChecked(form.fromCheck);
    m_text5->setText(form.subject);
    m_text6->setText(form.timeInterval);
    m_check1Subject->setChecked(form.subjectCheck);
    m_check2->setChecked(form.autoStart);

    // An entry name that is no longer in the list leaves the list as the user left it.
    m_entryChosen = false;
    if (form.dialUpEntry.isEmpty())
        m_entries.setSelection(-1);
    else
        m_entries.selectExact(form.dialUpEntry);
}

void SetupDialog::Command1_Click()
{
    hide();
}

void SetupDialog::Command2_Click()
{
    if (const QString refusal = intervalRefusal(m_text6->text()); !refusal.isEmpty()) {
        showRefusal(this, refusal);
        return;
    }
    SettingsForm form;
    form.pop3Server = m_text1->text();
    form.userName = m_text2->text();
    form.password = m_text3->text();
    form.fromAddress = m_text4->text();
    form.fromCheck = m_check1From->isChecked();
    form.subject = m_text5->text();
    form.subjectCheck = m_check1Subject->isChecked();
    form.timeInterval = m_text6->text();
    form.autoStart = m_check2->isChecked();
    form.dialUpEntry = m_combo1->currentText();
    form.entryChosen = m_entryChosen;
    const QStringList failed = applySettingsForm(form, m_entries.items(), m_settings, m_store);
    hide();
    if (!failed.isEmpty())
        emit settingsWriteFailed(failed);
}

void SetupDialog::keyPressEvent(QKeyEvent *event)
{
    // Neither Enter nor Escape presses a button or closes the window.
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        event->accept();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

void SetupDialog::closeEvent(QCloseEvent *event)
{
    // The frame's close button only hides the window; its fields and the entry list stay.
    event->accept();
}

void SetupDialog::onFocusWindowChanged(QWindow *window)
{
    using Target = ActivationTracker::Target;
    QWidget *w = widgetOf(window);
    Target target = Target::OtherWindow;
    if (!w)
        target = Target::Elsewhere;
    else if (isPopup(w))
        target = Target::Popup;
    else if (qobject_cast<QMessageBox *>(w))
        target = Target::MessageBox;
    else if (w == this)
        target = Target::TrackedWindow;
    // Coming back from another window of the program shows the stored values again;
    // coming back from a message box that closed over this window keeps the user's
    // unconfirmed edits.
    if (m_activation.focusMovedTo(target))
        Form_Activate();
}

} // namespace ringlark
