// The yardstick for the program's memory and idle CPU: one empty top-level window and the
// event loop, nothing else.

#include <QApplication>
#include <QWidget>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("bare"));
    window.resize(280, 340); // about the size of the program's main window
    window.show();
    return QApplication::exec();
}
