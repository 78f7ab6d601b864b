#pragma once

#include <QRect>
#include <QSize>
#include <QWidget>

namespace ringlark {

// Layouts are designed in twips (1/1440 inch) and placed at the screen's logical DPI.
int logicalDpi(const QWidget *widget);
int twips(int value, int dpi);
QRect twipsRect(int left, int top, int width, int height, int dpi);
QSize twipsSize(int width, int height, int dpi);

// Places a child at its designed position and size.
void placeTwips(QWidget *child, int left, int top, int width, int height, int dpi);

} // namespace ringlark
