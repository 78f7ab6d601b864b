// The yardstick for the program's memory and idle CPU: one empty top-level window and the
// event loop, nothing else. With --text the window also shows one line of Japanese text,
// which loads the CJK fonts the program needs too.

#include <QApplication>
#include <QLabel>
#include <QWidget>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("bare"));
    window.resize(280, 340); // about the size of the program's main window
    if (QCoreApplication::arguments().contains(QStringLiteral("--text")))
        (new QLabel(QStringLiteral("状況：アイドル"), &window))->move(16, 8);
    window.show();
    return QApplication::exec();
}
