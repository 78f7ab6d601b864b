// Opens the About box over an empty registry, for a look at it (e.g. under Xvfb).
#include "application_icon.h"
#include "fake_program_launcher.h"
#include "fake_registry.h"
#include "fakes.h"
#include "version_box.h"
#include "version_dialog.h"

#include <QApplication>

using namespace ringlark;

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setWindowIcon(applicationIcon());
    test::FakeRegistry registry;
    test::FakeProgramLauncher launcher;
    test::FakeMessageBox box;
    VersionBox holder(registry, launcher, box);
    holder.showFromMenu(nullptr);
    QObject::connect(holder.dialog(), &QObject::destroyed, &app, [] { QApplication::quit(); });
    return QApplication::exec();
}
