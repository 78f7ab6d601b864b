#pragma once

#include "app_core.h"
#include "check_cycle.h"
#include "dial_commands.h"
#include "fake_services.h"
#include "fake_timer.h"
#include "ini_settings_store.h"
#include "pop3_session.h"
#include "temp_config_home.h"

#include <QSignalSpy>
#include <QTest>

// A test that links the windows gets the main window too, as the program shows it.
#if __has_include("main_window.h")
#include "main_window.h"

#include <QAction>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#define RINGLARK_RIG_WINDOW 1
#endif

namespace ringlark::test {

// How an AppRig starts; options swap in real services where a test meets real peers.
struct AppRigOptions
{
    QMap<QString, QString> stored = {}; // in the store at start-up
    QStringList entries = {};           // the fake provider's dial-up entries
    QDateTime now = QDateTime(QDate(2026, 12, 7), QTime(21, 5, 42));
    bool ini = false; // the real INI store, in a private folder
    std::unique_ptr<DialUpProvider> dialUp = {};
    std::unique_ptr<MessageBox> boxes = {};
    std::function<std::unique_ptr<TcpSocket>()> makeSocket = {};
    bool fakeTimers = false;
    // With fake timers, Timer1's intervals pass at once until this many checks have run.
    int checks = 0;
};

// The program over fake services, started the way main.cpp starts it: the core, its main
// window where the test links the windows, then Form_Load.
struct AppRig
{
    using Options = AppRigOptions;

    explicit AppRig(Options o = {})
        : home(o.ini ? std::make_unique<TempConfigHome>() : nullptr),
          ini(o.ini ? std::make_unique<IniSettingsStore>() : nullptr), dialUp(std::move(o.dialUp)),
          boxes(std::move(o.boxes)), services{either<SettingsStore>(ini.get(), fakes.store),
                                              either<MessageBox>(boxes.get(), fakes.boxes),
                                              fakes.clock,
                                              either<DialUpProvider>(dialUp.get(), fakes.dialUp),
                                              fakes.registry,
                                              fakes.launcher}
    {
        for (auto it = o.stored.cbegin(); ini && it != o.stored.cend(); ++it)
            ini->write(it.key(), it.value());
        if (!ini)
            fakes.store.values = std::move(o.stored);
        fakes.dialUp.entries = std::move(o.entries);
        fakes.clock.current = o.now;
        services.endProgram = [this] { ++ended; };
        services.makeSocket = std::move(o.makeSocket);
        if (o.fakeTimers)
            services.makeTimer = fakeTimers();
        core = std::make_unique<AppCore>(services, state);
        checksWanted = o.checks;
        if (o.fakeTimers)
            timer1().firesAtOnce = checksWanted > 0;
        QObject::connect(&core->eventLog(), &EventLog::statusChanged, &core->eventLog(),
                         [this](const QString &s) { statuses.append(s); });
        QObject::connect(&core->checkCycle(), &CheckCycle::checkFinished, &core->checkCycle(),
                         [this] {
                             if (++checks >= checksWanted && services.makeTimer)
                                 timer1().firesAtOnce = false;
                         });
#ifdef RINGLARK_RIG_WINDOW
        window = std::make_unique<MainWindow>(*core);
#endif
        core->Form_Load();
    }

    // The real service where the options gave one, else the fake.
    template <class Service> static Service &either(Service *given, Service &fallback)
    {
        return given ? *given : fallback;
    }
    FakeTimer &timer1() { return fake(core->timer1()); }
    FakeTimer &watchdog() { return fake(core->pop3Session().watchdog()); }
    QString iniText() const { return QString::fromUtf8(home->iniText()); }
    // Fake timers: Timer1's intervals pass at once until n checks have run in all.
    void runChecks(int n)
    {
        checksWanted = n;
        FakeTimer &timer = timer1();
        timer.firesAtOnce = checks < n;
        if (timer.firesAtOnce && timer.isActive())
            timer.start(timer.interval);
    }
    // The log box's lines, start-up's first.
    QStringList logLines() const
    {
        QStringList lines = core->eventLog().text().split(QStringLiteral("\r\n"));
        lines.removeLast(); // after the final CR LF
        return lines;
    }

#ifdef RINGLARK_RIG_WINDOW
    template <class Widget> Widget *widget(const char *name) const
    {
        return window->findChild<Widget *>(QString::fromLatin1(name));
    }
    // Runs the menu command to its end: a dial reports only later, from the event loop.
    void trigger(const char *name) const
    {
        QSignalSpy dialled(&core->dialCommands(), &DialCommands::connectFinished);
        const qsizetype lines = logLines().size();
        widget<QAction>(name)->trigger();
        if (qstrcmp(name, "SET_CONNECT") == 0)
            QVERIFY(dialled.wait(5000));
        else if (qstrcmp(name, "SET_DISCONNECT") == 0) // the result line, after 切断中
            QTRY_VERIFY(logLines().size() > lines && logLines().last() != QStringLiteral("切断中"));
    }
    QPushButton *cmdStart() const { return widget<QPushButton>("CmdStart"); }
    QLabel *status() const { return widget<QLabel>("Label_jyokyo"); }
    QPlainTextEdit *log() const { return widget<QPlainTextEdit>("txtStatus"); }
#endif

    std::unique_ptr<TempConfigHome> home;
    std::unique_ptr<IniSettingsStore> ini;
    std::unique_ptr<DialUpProvider> dialUp;
    std::unique_ptr<MessageBox> boxes;
    FakeServices fakes;
    AppServices services;
    AppState state;
    QStringList statuses; // every status text, in order
    int checks = 0;       // checks finished
    int checksWanted = 0;
    int ended = 0; // times the program was ended
    std::unique_ptr<AppCore> core;
#ifdef RINGLARK_RIG_WINDOW
    std::unique_ptr<MainWindow> window;
#endif
};

} // namespace ringlark::test
