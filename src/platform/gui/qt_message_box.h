#pragma once

#include "message_box.h"

#include <QPointer>
#include <QWidget>

namespace ringlark {

class QtMessageBox final : public MessageBox
{
public:
    void setParentWindow(QWidget *parent) { m_parent = parent; }

    void open(const QString &text, Icon icon, std::function<void()> onClosed) override;

private:
    QWidget *owner() const;

    QPointer<QWidget> m_parent;
};

} // namespace ringlark
