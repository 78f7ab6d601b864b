#include "app_core.h"
#include "app_services.h"
#include "app_state.h"
#include "application_icon.h"
#include "check_cycle.h"
#include "clock.h"
#include "command_line.h"
#include "default_provider.h"
#include "display.h"
#include "instance_lock.h"
#include "log_message_box.h"
#include "main_window.h"
#include "parent_console.h"
#include "process_launcher.h"
#include "qt_message_box.h"
#include "registry.h"
#include "settings_store.h"
#include "termination_signals.h"

#include <QApplication>
#include <QSettings>
#include <QTextStream>

using namespace ringlark;

namespace {

// Where the lock that keeps to one program per settings file lives, and what it is keyed by.
// A store with no file of its own (the Windows registry) is stood for by the user's own
// configuration folder.
InstanceLock makeInstanceLock(const SettingsStore &store)
{
    QString location = store.location();
    if (location.isEmpty())
        location = QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("TERNCALL"))
                       .fileName();
    return InstanceLock(location);
}

// The outside services both kinds of run share, made once the application object exists
// (QtDBus needs it). The dial-up provider outlives the core and the windows.
struct Services
{
    std::unique_ptr<SettingsStore> settingsStore = makeDefaultSettingsStore();
    SystemClock clock;
    std::unique_ptr<DialUpProvider> dialUp = makeDefaultDialUpProvider();
    std::unique_ptr<Registry> registry = createSystemRegistry();
    ProcessLauncher launcher;

    AppServices with(MessageBox &messageBox)
    {
        return AppServices{*settingsStore, messageBox, clock, *dialUp, *registry, launcher};
    }
};

// A termination signal ends the program the way 終了 does, through the core's own shutdown:
// a check under way is abandoned, nothing is left half-written, and the status is 0.
void endOnTerminationSignals(TerminationSignals &signalsToEnd, AppCore &core)
{
    QObject::connect(&signalsToEnd, &TerminationSignals::received, &core, [&core](int number) {
        QTextStream(stderr) << "ringlark: " << TerminationSignals::nameOf(number)
                            << " received, ending\n";
        core.Form_Unload();
    });
}

int refuseSecondInstance(const InstanceLock &lock, MessageBox *box)
{
    QTextStream(stderr) << "ringlark: RINGLARK is already running on these settings (lock "
                        << lock.path() << ")\n";
    if (!box)
        return kExitAlreadyRunning;
    box->open(QStringLiteral("RINGLARKはすでに起動しています"), MessageBox::Icon::Exclamation,
              [] { QCoreApplication::exit(kExitAlreadyRunning); });
    return QCoreApplication::exec();
}

void warnNoLock(const InstanceLock &lock)
{
    QTextStream(stderr) << "ringlark: cannot make sure this is the only RINGLARK on these "
                           "settings: "
                        << lock.errorText() << '\n';
}

// No window and no display: message boxes become log lines, and the log mirror on stderr
// is the interface. A plain core application needs no display at all.
int runHeadless(int &argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("RINGLARK"));
    Services services;
    InstanceLock lock = makeInstanceLock(*services.settingsStore);
    const InstanceLock::Outcome locked = lock.acquire();
    if (locked == InstanceLock::Outcome::HeldByAnother)
        return refuseSecondInstance(lock, nullptr);
    if (locked == InstanceLock::Outcome::Failed)
        warnNoLock(lock);

    TerminationSignals signalsToEnd;
    LogMessageBox messageBox;
    AppState state;
    AppCore core(services.with(messageBox), state);
    endOnTerminationSignals(signalsToEnd, core);
    core.Form_Load(true);
    // A service that can do nothing must not look healthy: the unit treats 4 as final.
    if (!core.checkCycle().monitoring())
        return kExitNothingToDo;
    return QCoreApplication::exec();
}

int runWithWindows(int &argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("RINGLARK"));
    QApplication::setWindowIcon(applicationIcon());
    Services services;
    QtMessageBox messageBox;
    InstanceLock lock = makeInstanceLock(*services.settingsStore);
    const InstanceLock::Outcome locked = lock.acquire();
    if (locked == InstanceLock::Outcome::HeldByAnother)
        return refuseSecondInstance(lock, &messageBox);
    if (locked == InstanceLock::Outcome::Failed)
        warnNoLock(lock);

    TerminationSignals signalsToEnd;
    AppState state;
    // The core first, then the windows that show it; start-up runs once they are connected.
    AppCore core(services.with(messageBox), state);
    MainWindow window(core);
    messageBox.setParentWindow(&window);
    endOnTerminationSignals(signalsToEnd, core);
    core.Form_Load();
    window.show();
    return QApplication::exec();
}

} // namespace

int main(int argc, char *argv[])
{
    attachParentConsole();
    writeUtf8Output();
    QTextStream out(stdout);
    QTextStream err(stderr);
    const CommandLine commandLine = readCommandLine(argumentsOf(argc, argv), out, err);
    if (commandLine.exitStatus)
        return *commandLine.exitStatus;
    if (commandLine.headless)
        return runHeadless(argc, argv);
    // Qt aborts when it can open no display; say what to do instead.
    if (const QString problem = displayProblem(); !problem.isEmpty()) {
        err << "ringlark: " << problem << "; to run without one, start it with --headless\n";
        return kExitNoDisplay;
    }
    return runWithWindows(argc, argv);
}
