#include "app_services.h"
#include "application_icon.h"
#include "app_state.h"
#include "clock.h"
#include "default_provider.h"
#include "main_window.h"
#include "process_launcher.h"
#include "qt_message_box.h"
#include "registry.h"
#include "settings_store.h"

#include <QApplication>

using namespace ringlark;

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("RINGLARK"));
    QApplication::setWindowIcon(applicationIcon());

    const std::unique_ptr<SettingsStore> settingsStore = makeDefaultSettingsStore();
    QtMessageBox messageBox;
    SystemClock clock;
    // QtDBus needs the application object first; the provider outlives the window.
    const std::unique_ptr<DialUpProvider> dialUp = makeDefaultDialUpProvider();
    const std::unique_ptr<Registry> registry = createSystemRegistry();
    ProcessLauncher launcher;

    AppState state;
    AppServices services{*settingsStore, messageBox, clock, *dialUp, *registry, launcher};
    MainWindow window(services, state);
    messageBox.setParentWindow(&window);
    window.show();
    return QApplication::exec();
}
