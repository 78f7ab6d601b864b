#pragma once

#include <QMessageBox>

namespace ringlark {

// OK refused: the reason in a box over the settings window, which stays open with the
// user's edits. Opened without a loop of its own; it deletes itself when closed.
inline void showRefusal(QWidget *window, const QString &reason)
{
    auto *box = new QMessageBox(QMessageBox::Warning, QStringLiteral("RINGLARK"), reason,
                                QMessageBox::Ok, window);
    box->setObjectName(QStringLiteral("refusal"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

} // namespace ringlark
