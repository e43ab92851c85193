#pragma once
// The pixel under the mouse pointer.

#include <QMouseEvent>
#include <QPoint>
#include <QPointF>
#include <QWidget>
#include <QtMath>

namespace clipora {

// The pixel of a widget painted on the device pixel that holds the pointer,
// along one axis. `windowPos` is the pointer's exact position in the window
// (logical units), `origin` the widget's whole-number position in the same
// window, `ratio` the window's device pixel ratio.
//
// Qt paints a widget's pixels at ratio s by scaling them: device pixel d
// (covering [d, d + 1)) shows the pixel k whose span [s * (origin + k),
// s * (origin + k + 1)) holds the device pixel's centre d + 0.5, a centre
// that falls exactly on a border belonging to the pixel before it. At 1.25
// the pixels take 1, 1, 1, 2 device pixels from a whole-number start, and a
// plain floor of windowPos - origin names the neighbour on the second device
// pixel of a wide one. The same rule holds at whole ratios, where it is the
// plain floor.
inline int paintedPixelAt(qreal windowPos, int origin, qreal ratio)
{
    // A real pointer sits on a whole device pixel; windowPos * ratio can come
    // back a hair below it after Qt's division.
    const qreal device = qFloor(windowPos * ratio + 1e-9);
    return qCeil((device + 0.5) / ratio - origin) - 1;
}

// The pixel of `widget` (in its own coordinates) that holds the pointer of a
// mouse event: the one painted under it, also left of or above the widget,
// where a drag can go. Qt hands the widget the pointer's position rounded to
// whole logical pixels, which on a scaled screen can name the next pixel;
// the event's position in its window (the scene position) keeps the
// fraction, so the pixel is taken from that. An event sent straight to the
// widget, whose scene position is not a window position (it then lies
// farther than the rounding from the widget's), keeps its own position,
// floored.
inline QPoint pointerPixel(const QWidget* widget, const QSinglePointEvent* event)
{
    const QPointF rounded = event->position();
    const QPoint origin = widget->mapTo(widget->window(), QPoint(0, 0));
    const QPointF scene = event->scenePosition();
    const QPointF exact = scene - QPointF(origin);
    if (qAbs(exact.x() - rounded.x()) > 0.5 || qAbs(exact.y() - rounded.y()) > 0.5)
        return {qFloor(rounded.x()), qFloor(rounded.y())};
    const qreal ratio = widget->devicePixelRatioF();
    return {paintedPixelAt(scene.x(), origin.x(), ratio), paintedPixelAt(scene.y(), origin.y(), ratio)};
}

}  // namespace clipora
