#pragma once

#include <QObject>
#include <QPointer>

class QWidget;

namespace ringlark {

class MessageBox;
class ProgramLauncher;
class Registry;
class VersionDialog;

// Opens the About box from the menu: one box at a time, modeless. A box the user closed is
// gone, so the next open builds it, and its texts, anew.
class VersionBox : public QObject
{
    Q_OBJECT
public:
    VersionBox(Registry &registry, ProgramLauncher &launcher, MessageBox &messageBox,
               QObject *parent = nullptr);
    ~VersionBox() override;

    // Shows the box, building it first when none is open; an open one is raised instead.
    void showFromMenu(QWidget *parent);

    // The open box, or null.
    VersionDialog *dialog() const;

private:
    Registry &m_registry;
    ProgramLauncher &m_launcher;
    MessageBox &m_messageBox;
    QPointer<VersionDialog> m_dialog;
};

} // namespace ringlark
