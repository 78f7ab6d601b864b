#include "version_dialog.h"

#include "twips.h"
#include "version_info.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

namespace ringlark {

namespace {
// Client area and position of the box, in twips.
constexpr int clientWidth = 5730;
constexpr int clientHeight = 2430;
constexpr int clientLeft = 2340;
constexpr int clientTop = 1935;

QLabel *makeLabel(QWidget *parent, const char *name, const QString &text)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop); // text starts at the top left, as drawn
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Qt::black);
    label->setPalette(palette);
    return label;
}

// A line drawn as a filled strip: from (x1, y) to (x2, y) in twips, `pixels` thick.
QFrame *makeLine(QWidget *parent, const char *name, int x1, int x2, int y, int pixels,
                 const QColor &colour, int dpi)
{
    auto *line = new QFrame(parent);
    line->setObjectName(QString::fromLatin1(name));
    line->setFrameShape(QFrame::NoFrame);
    line->setAutoFillBackground(true);
    QPalette palette = line->palette();
    palette.setColor(QPalette::Window, colour);
    line->setPalette(palette);
    line->setGeometry(twips(x1, dpi), twips(y, dpi), twips(x2 - x1, dpi), pixels);
    return line;
}
} // namespace

VersionDialog::VersionDialog(Registry &registry, ProgramLauncher &launcher, MessageBox &messageBox,
                             QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      m_sysInfo(registry, launcher, messageBox)
{
    setObjectName(QStringLiteral("Version"));
    setModal(false);
    buildWidgets();
    Form_Load();
}

void VersionDialog::buildWidgets()
{
    const int dpi = logicalDpi(this);
    setFixedSize(twipsSize(clientWidth, clientHeight, dpi));
    // The layout was drawn for 9-point text; a larger desktop default would not fit it.
    QFont small = font();
    small.setPointSize(9);
    setFont(small);

    // The picture box sizes itself to the icon's large image.
    m_picIcon = makeLabel(this, "picIcon", {});
    const QPixmap icon = windowIcon().pixmap(QSize(32, 32), devicePixelRatio());
    m_picIcon->setPixmap(icon);
    const int side = icon.isNull() ? twips(540, dpi) : 32;
    m_picIcon->setGeometry(0, 0, side, side);

    m_lblTitle = makeLabel(this, "lblTitle", {});
    QFont titleFont = m_lblTitle->font();
    // The Japanese face where it exists; elsewhere a CJK face of the same build.
    titleFont.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"),
                           QStringLiteral("Noto Sans CJK JP"), QStringLiteral("Sans Serif")});
    titleFont.setPointSizeF(20.25);
    titleFont.setBold(true);
    m_lblTitle->setFont(titleFont);
    placeTwips(m_lblTitle, 1050, 240, 3885, 480, dpi);

    m_lblVersion = makeLabel(this, "lblVersion", {});
    placeTwips(m_lblVersion, 1050, 780, 3885, 345, dpi);

    makeLine(this, "Line1_1", 0, 5564, 1200, 1, QColor(128, 128, 128), dpi);

    m_cmdOK = new QPushButton(QStringLiteral("OK"), this);
    m_cmdOK->setObjectName(QStringLiteral("cmdOK"));
    m_cmdOK->setDefault(true);
    placeTwips(m_cmdOK, 4245, 1320, 1380, 345, dpi);

    auto *disclaimer = makeLabel(
        this, "lblDisclaimer",
        QStringLiteral("本ソフトウェアは無保証です。使用により生じた損害について作者は責任を"
                       "負いません。"));
    disclaimer->setWordWrap(true);
    placeTwips(disclaimer, 240, 1440, 3870, 585, dpi);

    m_cmdSysInfo = new QPushButton(QStringLiteral("ｼｽﾃﾑ情報(&S)..."), this);
    m_cmdSysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    placeTwips(m_cmdSysInfo, 4260, 1800, 1380, 345, dpi);

    // The maker's short name alone: the project has no web page of its own to point at.
    auto *maker = makeLabel(this, "Label1", QStringLiteral("RL工房"));
    placeTwips(maker, 240, 2160, 3375, 255, dpi);

    // Below the bottom edge, so never seen; kept so the box holds every designed part.
    makeLine(this, "Line1_0", 105, 5654, 2460, 2, Qt::white, dpi);

    setTabOrder(m_cmdOK, m_cmdSysInfo);
    m_cmdOK->setFocus();

    connect(m_cmdOK, &QPushButton::clicked, this, &VersionDialog::cmdOK_Click);
    connect(m_cmdSysInfo, &QPushButton::clicked, this, &VersionDialog::cmdSysInfo_Click);

    // The client area opens at its designed place, not centred over the main window.
    setGeometry(QRect(designedPosition(), size()));
}

QPoint VersionDialog::designedPosition() const
{
    const QScreen *where = screen() ? screen() : QGuiApplication::primaryScreen();
    const QPoint origin = where ? where->geometry().topLeft() : QPoint();
    const int dpi = logicalDpi(this);
    return origin + QPoint(twips(clientLeft, dpi), twips(clientTop, dpi));
}

void VersionDialog::Form_Load()
{
    setWindowTitle(applicationTitle() + QStringLiteral("のﾊﾞｰｼﾞｮﾝ情報"));
    m_lblVersion->setText(versionText());
    m_lblTitle->setText(applicationTitle());
}

void VersionDialog::reject()
{
    m_cmdOK->click();
}

void VersionDialog::cmdOK_Click()
{
    // Closes the box; the owner sets WA_DeleteOnClose so that it is built anew next time.
    done(QDialog::Accepted);
}

void VersionDialog::cmdSysInfo_Click()
{
    m_sysInfo.StartSysInfo();
}

} // namespace ringlark
