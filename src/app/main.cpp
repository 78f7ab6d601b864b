#include "app_services.h"
#include "app_state.h"
#include "clock.h"
#include "ini_settings_store.h"
#include "main_window.h"
#include "qt_message_box.h"

#include <QApplication>

using namespace ringlark;

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("RINGLARK"));

    IniSettingsStore settingsStore;
    QtMessageBox messageBox;
    SystemClock clock;

    AppState state;
    AppServices services{settingsStore, messageBox, clock};
    MainWindow window(services, state);
    messageBox.setParentWindow(&window);
    window.show();
    return QApplication::exec();
}
