// Opens the About box over an empty registry, for a look at it (e.g. under Xvfb).
#include "application_icon.h"
#include "fake_program_launcher.h"
#include "fake_registry.h"
#include "fakes.h"
#include "version_box.h"
#include "version_dialog.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>

#include <cstdio>

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
    // Reports every text that needs more room than its designed box.
    for (QWidget *w : holder.dialog()->findChildren<QWidget *>()) {
        QSize need = w->sizeHint();
        if (auto *label = qobject_cast<QLabel *>(w); label && label->wordWrap())
            need = QSize(w->width(), label->heightForWidth(w->width()));
        const bool fits = need.width() <= w->width() && need.height() <= w->height();
        std::fprintf(stderr, "%-14s box %3dx%-3d needs %3dx%-3d %s\n", qPrintable(w->objectName()),
                     w->width(), w->height(), need.width(), need.height(),
                     fits ? "fits" : "DOES NOT FIT");
    }
    QObject::connect(holder.dialog(), &QObject::destroyed, &app, [] { QApplication::quit(); });
    return QApplication::exec();
}
