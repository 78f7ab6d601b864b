#include "version_box.h"

#include "version_dialog.h"

namespace ringlark {

VersionBox::VersionBox(Registry &registry, ProgramLauncher &launcher, MessageBox &messageBox,
                       QObject *parent)
    : QObject(parent), m_registry(registry), m_launcher(launcher), m_messageBox(messageBox)
{
}

VersionBox::~VersionBox()
{
    // The box refers to the services this holder was given; it must not outlive them.
    delete m_dialog.data();
}

void VersionBox::showFromMenu(QWidget *parent)
{
    if (!m_dialog) {
        m_dialog = new VersionDialog(m_registry, m_launcher, m_messageBox, parent);
        m_dialog->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_dialog->show();
    m_dialog->raise();
    m_dialog->activateWindow();
}

VersionDialog *VersionBox::dialog() const
{
    return m_dialog.data();
}

} // namespace ringlark
