#include "app_core.h"
#include "app_services.h"
#include "app_state.h"
#include "application_icon.h"
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
    // The core first, then the windows that show it; start-up runs once they are connected.
    AppCore core(services, state);
    MainWindow window(core);
    messageBox.setParentWindow(&window);
    core.Form_Load();
    window.show();
    return QApplication::exec();
}
