#include "shaperect.h"

#include <QMouseEvent>
#include <QPainter>
#include <QRegion>

#include "accessible.h"
#include "pointerpixel.h"

namespace clipora {

ShapeRect::ShapeRect(QWidget* parent) : QWidget(parent)
{
    setCursor(Qt::CrossCursor);
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
    installAccessibleFactory();
}

void ShapeRect::setPenMode(PenMode mode)
{
    if (penMode_ == mode)
        return;
    penMode_ = mode;
    update();
}

void ShapeRect::setPenColor(const QColor& color)
{
    if (penColor_ == color)
        return;
    penColor_ = color;
    update();
}

void ShapeRect::paintEvent(QPaintEvent*)
{
    const QRect all = rect();
    if (all.isEmpty())
        return;
    // The outline as one region, so that no pixel is painted twice (an
    // inverting pen would undo itself where the sides meet).
    QRegion outline(all);
    if (all.width() > 2 && all.height() > 2)
        outline -= all.adjusted(1, 1, -1, -1);
    QPainter painter(this);
    painter.setClipRegion(outline);
    if (penMode_ == PenMode::Not) {
        painter.setCompositionMode(QPainter::RasterOp_NotDestination);
        painter.fillRect(all, Qt::black);
    } else {
        painter.fillRect(all, penColor_);
    }
}

void ShapeRect::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    emit mouseDown(pointerPixel(this, event), event->button(), event->modifiers());
}

void ShapeRect::mouseMoveEvent(QMouseEvent* event)
{
    event->accept();
    emit mouseMove(pointerPixel(this, event), event->buttons(), event->modifiers());
}

void ShapeRect::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
    emit mouseUp(pointerPixel(this, event), event->button(), event->modifiers());
}

}  // namespace clipora
