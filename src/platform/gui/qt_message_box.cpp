#include "qt_message_box.h"

#include <QApplication>
#include <QMessageBox>

namespace ringlark {

namespace {
QMessageBox *makeBox(QWidget *parent, const QString &text, MessageBox::Icon icon)
{
    auto *box = new QMessageBox(icon == MessageBox::Icon::Exclamation ? QMessageBox::Warning
                                                                      : QMessageBox::NoIcon,
                                QStringLiteral("RINGLARK"), text, QMessageBox::Ok, parent);
    box->setObjectName(QStringLiteral("RinglarkMessageBox"));
    return box;
}
} // namespace

QWidget *QtMessageBox::owner() const
{
    // Over the window the user is in, so that closing the box hands activation back to it.
    if (QWidget *active = QApplication::activeWindow())
        return active;
    return m_parent;
}

void QtMessageBox::open(const QString &text, Icon icon, std::function<void()> onClosed)
{
    QMessageBox *box = makeBox(owner(), text, icon);
    box->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(box, &QDialog::finished, box, [onClosed = std::move(onClosed)](int) {
        if (onClosed)
            onClosed();
    });
    box->open();
}

} // namespace ringlark
