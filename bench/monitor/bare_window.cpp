// The yardstick for the program's memory and idle CPU: one empty top-level window and the
// event loop, nothing else. With --text the window also shows one line of Japanese text,
// which loads the CJK fonts the program needs too. With --widgets it holds what the main
// window holds at its simplest: a Japanese label, a button and a multi-line text box with
// a Japanese line in it.

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QWidget>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("bare"));
    window.resize(280, 340); // about the size of the program's main window
    const QStringList args = QCoreApplication::arguments();
    if (args.contains(QStringLiteral("--text")) || args.contains(QStringLiteral("--widgets")))
        (new QLabel(QStringLiteral("状況：アイドル"), &window))->move(16, 8);
    if (args.contains(QStringLiteral("--widgets"))) {
        auto *button = new QPushButton(QStringLiteral("開始"), &window);
        button->setGeometry(208, 0, 57, 25);
        auto *box = new QPlainTextEdit(&window);
        box->setGeometry(7, 28, 260, 271);
        box->setPlainText(QStringLiteral("初期化終了しました\n"));
    }
    window.show();
    return QApplication::exec();
}
