#include "twips.h"

#include <QGuiApplication>
#include <QScreen>

#include <cmath>

namespace ringlark {

int logicalDpi(const QWidget *widget)
{
    const QScreen *screen = widget && widget->screen() ? widget->screen()
                                                       : QGuiApplication::primaryScreen();
    const qreal dpi = screen ? screen->logicalDotsPerInchX() : 96.0;
    return dpi > 0 ? qRound(dpi) : 96;
}

int twips(int value, int dpi)
{
    return static_cast<int>(std::lround(static_cast<double>(value) * dpi / 1440.0));
}

QRect twipsRect(int left, int top, int width, int height, int dpi)
{
    return QRect(twips(left, dpi), twips(top, dpi), twips(width, dpi), twips(height, dpi));
}

QSize twipsSize(int width, int height, int dpi)
{
    return QSize(twips(width, dpi), twips(height, dpi));
}

void placeTwips(QWidget *child, int left, int top, int width, int height, int dpi)
{
    child->setGeometry(twipsRect(left, top, width, height, dpi));
}

} // namespace ringlark
