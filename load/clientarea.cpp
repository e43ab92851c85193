#include "clientarea.h"

#include <QMouseEvent>

namespace clipora {

ClientArea::ClientArea(QWidget* parent) : QWidget(parent) {}

void ClientArea::mousePressEvent(QMouseEvent* event)
{
    // A label passes its presses on to us; only the bare background counts.
    if (event->button() == Qt::LeftButton)
        backgroundPressed_ = !childAt(event->position().toPoint());
    event->accept();
}

void ClientArea::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
    if (event->button() != Qt::LeftButton || !backgroundPressed_)
        return;
    backgroundPressed_ = false;
    if (rect().contains(event->position().toPoint()) && !childAt(event->position().toPoint()))
        emit clicked();
}

void ClientArea::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    emit resized();
}

}  // namespace clipora
