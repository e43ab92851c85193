#include "trackbar.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

#include "focus.h"
#include "handlers.h"
#include "pointerpixel.h"

namespace clipora {

namespace {

constexpr int kThumbThickness = 11;  // across the direction of travel: along it
constexpr int kChannelWidth = 4;

}  // namespace

TrackBar::TrackBar(Qt::Orientation orientation, QWidget* parent) : QAbstractSlider(parent)
{
    setOrientation(orientation);
    setFocusPolicy(Qt::StrongFocus);
    setSingleStep(1);
    setPageStep(1);
    connect(this, &QAbstractSlider::valueChanged, this, &TrackBar::changed);
}

void TrackBar::setPosition(int position)
{
    setValue(position);
    endEventIfEnded();
}

void TrackBar::setMinimum(int minimum)
{
    QAbstractSlider::setMinimum(minimum);
    endEventIfEnded();
}

void TrackBar::setMaximum(int maximum)
{
    QAbstractSlider::setMaximum(maximum);
    endEventIfEnded();
}

void TrackBar::setRange(int minimum, int maximum)
{
    QAbstractSlider::setRange(minimum, maximum);
    endEventIfEnded();
}

void TrackBar::setSelStart(int start)
{
    if (selStart_ == start)
        return;
    selStart_ = start;
    update();
}

void TrackBar::setSelEnd(int end)
{
    if (selEnd_ == end)
        return;
    selEnd_ = end;
    update();
}

void TrackBar::setSelection(int start, int end)
{
    setSelStart(start);
    setSelEnd(end);
}

void TrackBar::setTickMarks(TickMarks marks)
{
    if (tickMarks_ == marks)
        return;
    tickMarks_ = marks;
    update();
}

int TrackBar::length() const
{
    return orientation() == Qt::Horizontal ? width() : height();
}

int TrackBar::along(const QPoint& point) const
{
    return orientation() == Qt::Horizontal ? point.x() : point.y();
}

int TrackBar::pixelForPosition(int p) const
{
    const long long span = static_cast<long long>(maximum()) - minimum();
    const int usable = std::max(0, length() - 2 * kMargin - 1);
    if (span <= 0)
        return kMargin;
    const long long offset = static_cast<long long>(p) - minimum();
    return kMargin + static_cast<int>(std::llround(static_cast<double>(offset) * usable / span));
}

int TrackBar::positionForPixel(int pixel) const
{
    const long long span = static_cast<long long>(maximum()) - minimum();
    const int usable = std::max(0, length() - 2 * kMargin - 1);
    if (span <= 0 || usable <= 0)
        return minimum();
    const double offset = static_cast<double>(pixel - kMargin) * span / usable;
    const long long p = minimum() + std::llround(offset);
    return static_cast<int>(std::clamp<long long>(p, minimum(), maximum()));
}

QRect TrackBar::thumbRect() const
{
    const int centre = pixelForPosition(value());
    const int half = kThumbThickness / 2;
    if (orientation() == Qt::Horizontal)
        return QRect(centre - half, 2, kThumbThickness, std::max(1, height() - 4));
    return QRect(2, centre - half, std::max(1, width() - 4), kThumbThickness);
}

QSize TrackBar::sizeHint() const
{
    return orientation() == Qt::Horizontal ? QSize(200, 22) : QSize(22, 200);
}

void TrackBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const bool horizontal = orientation() == Qt::Horizontal;
    const int start = kMargin;
    const int end = std::max(start, length() - kMargin - 1);
    const int across = horizontal ? height() : width();
    const int channelTop = (across - kChannelWidth) / 2;

    auto span = [&](int from, int to) {
        return horizontal ? QRect(from, channelTop, to - from + 1, kChannelWidth)
                          : QRect(channelTop, from, kChannelWidth, to - from + 1);
    };

    // The channel: a sunken groove.
    const QRect channel = span(start, end);
    painter.fillRect(channel, palette().color(QPalette::Base));
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawLine(channel.topLeft(), horizontal ? channel.topRight() : channel.bottomLeft());
    painter.drawLine(channel.topLeft(), horizontal ? channel.bottomLeft() : channel.topRight());
    painter.setPen(palette().color(QPalette::Light));
    painter.drawLine(channel.bottomRight(), horizontal ? channel.bottomLeft() : channel.topRight());
    painter.drawLine(channel.bottomRight(), horizontal ? channel.topRight() : channel.bottomLeft());

    // The selection: the channel highlighted from start to end.
    if (selStart_ != 0 || selEnd_ != 0) {
        const int a = std::clamp(pixelForPosition(std::min(selStart_, selEnd_)), start, end);
        const int b = std::clamp(pixelForPosition(std::max(selStart_, selEnd_)), start, end);
        painter.fillRect(span(a, b).adjusted(horizontal ? 0 : 1, horizontal ? 1 : 0, horizontal ? 0 : -1,
                                             horizontal ? -1 : 0),
                         palette().color(QPalette::Highlight));
    }

    // The thumb: plain, or pointing toward the side of the tick marks.
    const QRectF r = QRectF(thumbRect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath path;
    if (tickMarks_ == TickMarks::BothSides) {
        path.addRect(r);
    } else {
        const qreal point = horizontal ? r.width() / 2 : r.height() / 2;
        QPolygonF shape;
        if (horizontal && tickMarks_ == TickMarks::BottomRight)
            shape << r.topLeft() << r.topRight() << QPointF(r.right(), r.bottom() - point)
                  << QPointF(r.center().x(), r.bottom()) << QPointF(r.left(), r.bottom() - point);
        else if (horizontal)
            shape << r.bottomLeft() << r.bottomRight() << QPointF(r.right(), r.top() + point)
                  << QPointF(r.center().x(), r.top()) << QPointF(r.left(), r.top() + point);
        else if (tickMarks_ == TickMarks::BottomRight)
            shape << r.topLeft() << r.bottomLeft() << QPointF(r.right() - point, r.bottom())
                  << QPointF(r.right(), r.center().y()) << QPointF(r.right() - point, r.top());
        else
            shape << r.topRight() << r.bottomRight() << QPointF(r.left() + point, r.bottom())
                  << QPointF(r.left(), r.center().y()) << QPointF(r.left() + point, r.top());
        path.addPolygon(shape);
        path.closeSubpath();
    }
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(palette().color(QPalette::Shadow));
    painter.setBrush(palette().color(isEnabled() ? QPalette::Button : QPalette::Window));
    painter.drawPath(path);

    if (hasFocus()) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = rect().adjusted(0, 0, 0, 0);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
}

void TrackBar::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Up:
        setValue(value() - singleStep());
        break;
    case Qt::Key_Right:
    case Qt::Key_Down:
        setValue(value() + singleStep());
        break;
    case Qt::Key_PageUp:
        setValue(value() - pageStep());
        break;
    case Qt::Key_PageDown:
        setValue(value() + pageStep());
        break;
    case Qt::Key_Home:
        setValue(minimum());
        break;
    case Qt::Key_End:
        setValue(maximum());
        break;
    default:
        event->ignore();
        return;
    }
    event->accept();
}

void TrackBar::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        event->accept();
        return;
    }
    // A click gives the bar the focus before the thumb moves. A control that
    // handles its own leaving may move the focus on again (a field applied
    // as it leaves clears the window's active control); the bar asks once
    // more, so that the thumb never moves in its hand without the focus.
    if (isActiveWindow() && !hasFocus() && (focusPolicy() & Qt::ClickFocus))
        setFocus(Qt::MouseFocusReason);
    // A thumb moves in the user's hand only with the focus, which its
    // change handling needs: a press the bar cannot take the focus for (its
    // window not yet active) moves nothing.
    if (!hasFocus()) {
        event->accept();
        return;
    }
    const QPoint pos = pointerPixel(this, event);
    const int centre = pixelForPosition(value());
    if (thumbRect().contains(pos)) {
        dragOffset_ = along(pos) - centre;
    } else {
        dragOffset_ = 0;
        setValue(positionForPixel(along(pos)));
    }
    dragging_ = true;
    event->accept();
}

void TrackBar::mouseMoveEvent(QMouseEvent* event)
{
    if (!dragging_ || !(event->buttons() & Qt::LeftButton)) {
        event->ignore();
        return;
    }
    setValue(positionForPixel(along(pointerPixel(this, event)) - dragOffset_));
    event->accept();
}

void TrackBar::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        dragging_ = false;
    event->accept();
}

void TrackBar::wheelEvent(QWheelEvent* event)
{
    if (!hasFocus()) {
        event->ignore();
        return;
    }
    const int steps = event->angleDelta().y() / 120;
    if (steps == 0) {
        event->ignore();
        return;
    }
    setValue(value() - steps * singleStep());
    event->accept();
}

void TrackBar::focusInEvent(QFocusEvent* event)
{
    QAbstractSlider::focusInEvent(event);
    update();
    if (isRealFocusChange(event->reason()))
        emit entered();
}

void TrackBar::focusOutEvent(QFocusEvent* event)
{
    QAbstractSlider::focusOutEvent(event);
    update();
    if (isRealFocusChange(event->reason()))
        emit exited();
}

}  // namespace clipora
