// Shows the main window with the settings window beside it, filled with sample values, for
// looking at the layout at its designed size:
//   xvfb-run -s "-screen 0 1024x768x24" sh -c 'build/tests/settings_dialog/setup_dialog_preview
//     4000 & sleep 2; import -window root shot.png'
// The optional argument is how long to stay open, in milliseconds.
#include "app_services.h"
#include "app_state.h"
#include "fake_services.h"
#include "main_window.h"
#include "setup_dialog.h"

#include <QApplication>
#include <QTimer>

using namespace ringlark;

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);

    test::FakeServices fakes;
    test::FakeSettingsStore &store = fakes.store;
    store.values = {{QStringLiteral("POP3SERVER"), QStringLiteral("pop.example.com")},
                    {QStringLiteral("USERNAME"), QStringLiteral("taro")},
                    {QStringLiteral("PASSWORD"), QStringLiteral("secret")},
                    {QStringLiteral("FROM"), QStringLiteral("owner@example.com")},
                    {QStringLiteral("FROM_CHECK"), QStringLiteral("1")},
                    {QStringLiteral("SUBJECT"), QStringLiteral("callback")},
                    {QStringLiteral("DIALUPNETWORK"), QStringLiteral("Office PPP")}};
    fakes.clock.current = QDateTime::currentDateTime();
    const AppServices services = fakes.services();

    AppState state;
    state.entries.addItem(QStringLiteral("Office PPP"));
    state.entries.addItem(QStringLiteral("Mobile GSM"));
    MainWindow window(services, state);
    window.move(20, 20);
    window.show();

    SetupDialog dialog(state.settings, store, state.entries, &window);
    dialog.move(window.frameGeometry().right() + 30, 20);
    dialog.showFromMenu();

    if (argc > 1)
        QTimer::singleShot(QString::fromLocal8Bit(argv[1]).toInt(), &app, &QApplication::quit);
    return QApplication::exec();
}
