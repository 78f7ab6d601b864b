#pragma once

#include "sys_info.h"

#include <QDialog>

class QLabel;
class QPushButton;

namespace ringlark {

// Version: the About box. Modeless; the text is set once when it is built, so a box that was
// closed and is opened again shows freshly set texts.
class VersionDialog : public QDialog
{
    Q_OBJECT
public:
    VersionDialog(Registry &registry, ProgramLauncher &launcher, MessageBox &messageBox,
                  QWidget *parent = nullptr);

    // Esc presses OK, as the frame's close button does.
    void reject() override;

    // Where the client area's top left corner goes, in pixels on the screen.
    QPoint designedPosition() const;

private:
    void buildWidgets();
    void Form_Load();
    void cmdOK_Click();
    void cmdSysInfo_Click();

    SysInfo m_sysInfo;

    QLabel *m_picIcon = nullptr;
    QLabel *m_lblTitle = nullptr;
    QLabel *m_lblVersion = nullptr;
    QPushButton *m_cmdOK = nullptr;
    QPushButton *m_cmdSysInfo = nullptr;
};

} // namespace ringlark
