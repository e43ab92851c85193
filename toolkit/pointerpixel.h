#pragma once
// The pixel under the mouse pointer.

#include <QMouseEvent>
#include <QPoint>
#include <QPointF>
#include <QWidget>
#include <QtMath>

namespace clipora {

// The pixel of `widget` (in its own coordinates) that holds the pointer of a
// mouse event. On a scaled screen (QT_SCALE_FACTOR=2) one pixel of ours
// covers 2 x 2 screen pixels, and Qt hands the widget the pointer's position
// rounded to whole pixels: on the second screen pixel of a pixel that names
// the next pixel. The event's position in its window (the scene position)
// keeps the fraction, so the widget's position is taken from that and
// floored. An event sent straight to the widget, whose scene position is not
// a window position (it then lies farther than the rounding from the
// widget's), keeps its own position, floored.
inline QPoint pointerPixel(const QWidget* widget, const QSinglePointEvent* event)
{
    const QPointF rounded = event->position();
    const QPointF exact = event->scenePosition() - QPointF(widget->mapTo(widget->window(), QPoint(0, 0)));
    const bool sameEvent = qAbs(exact.x() - rounded.x()) <= 0.5 && qAbs(exact.y() - rounded.y()) <= 0.5;
    const QPointF at = sameEvent ? exact : rounded;
    return {qFloor(at.x()), qFloor(at.y())};
}

}  // namespace clipora
