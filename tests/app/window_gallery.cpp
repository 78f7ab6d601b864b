// Not a test: opens all five windows side by side over fake services, for a screenshot:
//   xvfb-run -s "-screen 0 1400x900x24" sh -c 'build/tests/app/window_gallery 3000 &
//     sleep 2; import -window root gallery.png'
#include "application_icon.h"
#include "dial_commands.h"
#include "fake_services.h"
#include "main_window.h"
#include "pop3_session.h"
#include "pop3_window.h"
#include "setup_dialog.h"
#include "trigger_checks_dialog.h"
#include "version_box.h"
#include "version_dialog.h"

#include <QApplication>
#include <QTimer>

using namespace ringlark;

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setWindowIcon(applicationIcon());
    test::FakeServices fakes;
    fakes.store.values = {{QStringLiteral("POP3SERVER"), QStringLiteral("pop3s://pop.example.com")},
                          {QStringLiteral("USERNAME"), QStringLiteral("taro")},
                          {QStringLiteral("PASSWORD"), QStringLiteral("secret12")},
                          {QStringLiteral("FROM"), QStringLiteral("owner@example.com")},
                          {QStringLiteral("FROM_CHECK"), QStringLiteral("1")},
                          {QStringLiteral("SUBJECT"), QStringLiteral("ring me")},
                          {QStringLiteral("SUBJECT_CHECK"), QStringLiteral("1")},
                          {QStringLiteral("DIALUPNETWORK"), QStringLiteral("Office VPN")},
                          {QStringLiteral("AUTOSTART"), QStringLiteral("1")},
                          {QStringLiteral("TOTP_CHECK"), QStringLiteral("1")},
                          {QStringLiteral("TOTP_SECRET"),
                           QStringLiteral("JBSWY3DPEHPK3PXPJBSWY3DPEHPK3PXP")},
                          {QStringLiteral("AUTH_CHECK"), QStringLiteral("1")},
                          {QStringLiteral("AUTH_SERVID"), QStringLiteral("mx.example.com")}};
    fakes.dialUp.entries = {QStringLiteral("Home Ethernet"), QStringLiteral("Office VPN")};
    fakes.clock.current = QDateTime::currentDateTime();
    AppServices services = fakes.services();
    AppState state;
    AppCore core(services, state);
    MainWindow window(core);
    core.Form_Load();
    window.show();
    window.move(10, 10);
    core.dialCommands().SET_CONNECT_Click();

    window.setupDialog()->showFromMenu();
    window.setupDialog()->move(window.frameGeometry().right() + 20, 10);
    Pop3Window &pop3 = window.pop3Window();
    pop3.show();
    pop3.move(window.setupDialog()->frameGeometry().right() + 20, 10);
    state.session.SessionNewestAuthservIds = {QStringLiteral("mx.example.com"),
                                              QStringLiteral("relay.example.org")};
    window.triggerChecksDialog()->showFromMenu(QStringLiteral("taro"),
                                               state.session.SessionNewestAuthservIds);
    window.triggerChecksDialog()->move(pop3.frameGeometry().left(),
                                       pop3.frameGeometry().bottom() + 20);
    window.versionBox()->showFromMenu(&window);
    window.versionBox()->dialog()->move(10, window.frameGeometry().bottom() + 20);

    if (argc > 1)
        QTimer::singleShot(QString::fromLocal8Bit(argv[1]).toInt(), &app, &QApplication::quit);
    return QApplication::exec();
}
