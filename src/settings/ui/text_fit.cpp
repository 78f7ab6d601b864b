#include "text_fit.h"

#include <QCheckBox>
#include <QFontMetrics>
#include <QLabel>
#include <QStyle>

#include <algorithm>

namespace ringlark {

namespace {

// The width the caption needs in the given font, or 0 for widgets without one.
int neededWidth(const QWidget *w, const QFont &font)
{
    const QFontMetrics metrics(font);
    if (const auto *label = qobject_cast<const QLabel *>(w))
        return metrics.horizontalAdvance(label->text()) + 2 * label->margin() +
               2 * label->frameWidth();
    if (const auto *box = qobject_cast<const QCheckBox *>(w)) {
        const QStyle *style = box->style();
        return style->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, box) +
               style->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, box) +
               metrics.horizontalAdvance(box->text());
    }
    return 0;
}

// The left edge of the nearest control beyond the designed box on the same row (a control
// that merely touches the row, such as the next row's check box, does not count), or the
// window's edge.
int rightLimit(const QWidget *window, const QWidget *w)
{
    const QRect r = w->geometry();
    int limit = window->width();
    const auto siblings = window->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
    for (const QWidget *s : siblings) {
        const QRect g = s->geometry();
        const bool sameRow = g.top() < r.bottom() && g.bottom() > r.top();
        if (s != w && sameRow && g.left() >= r.right() - 1)
            limit = std::min(limit, g.left());
    }
    return limit;
}

} // namespace

void fitCaption(QWidget *w)
{
    const QWidget *window = w->parentWidget();
    if (!window)
        return;
    QFont font = w->font();
    const int designed = w->width();
    if (neededWidth(w, font) <= designed)
        return;
    const int room = rightLimit(window, w) - w->x();
    const qreal smallest = font.pointSizeF() * 0.8;
    while (neededWidth(w, font) > room && font.pointSizeF() - 0.5 >= smallest)
        font.setPointSizeF(font.pointSizeF() - 0.5);
    if (font != w->font())
        w->setFont(font);
    w->resize(std::max(designed, std::min(room, neededWidth(w, font))), w->height());
}

void fitCaptions(QWidget *window)
{
    const auto children = window->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
    for (QWidget *w : children)
        fitCaption(w);
}

} // namespace ringlark
