#include "spinbuttons.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>

#include <algorithm>

#include "accessible.h"
#include "conversions.h"
#include "editfield.h"
#include "handlers.h"

namespace clipora {

SpinButtons::SpinButtons(Qt::Orientation orientation, QWidget* parent) : QWidget(parent), orientation_(orientation)
{
    // Reachable by Tab and setFocus(); a click never moves the focus.
    setFocusPolicy(Qt::TabFocus);
    installAccessibleFactory();
}

void SpinButtons::setMinimum(int minimum)
{
    setRange(minimum, std::max(minimum, maximum_));
}

void SpinButtons::setMaximum(int maximum)
{
    setRange(std::min(minimum_, maximum), maximum);
}

void SpinButtons::setRange(int minimum, int maximum)
{
    minimum_ = minimum;
    maximum_ = std::max(minimum, maximum);
    position_ = std::clamp(position_, minimum_, maximum_);
}

void SpinButtons::setPosition(int position)
{
    position_ = std::clamp(position, minimum_, maximum_);
    if (field_)
        field_->setText(intText(position_));
}

void SpinButtons::step(Arrow arrow)
{
    long long number = position_;
    if (field_) {
        if (const auto standing = parseInteger(field_->text()))
            number = *standing;
    }
    number += arrow == Arrow::Next ? static_cast<long long>(increment_) : -static_cast<long long>(increment_);
    position_ = static_cast<int>(std::clamp<long long>(number, minimum_, maximum_));
    if (field_)
        field_->setText(intText(position_));
    QAccessibleValueChangeEvent changed(this, position_);
    QAccessible::updateAccessibility(&changed);
    emit clicked(arrow);
    endEventIfEnded();
}

QRect SpinButtons::arrowRect(Arrow arrow) const
{
    // Next is the right (horizontal) or upper (vertical) half.
    if (orientation_ == Qt::Horizontal) {
        const int half = width() / 2;
        return arrow == Arrow::Next ? QRect(half, 0, width() - half, height()) : QRect(0, 0, half, height());
    }
    const int half = height() / 2;
    return arrow == Arrow::Next ? QRect(0, 0, width(), half) : QRect(0, half, width(), height() - half);
}

QSize SpinButtons::sizeHint() const
{
    return orientation_ == Qt::Horizontal ? QSize(30, 16) : QSize(16, 22);
}

void SpinButtons::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    for (Arrow arrow : {Arrow::Next, Arrow::Previous}) {
        QStyleOptionButton button;
        button.initFrom(this);
        button.rect = arrowRect(arrow);
        const bool pressed = pressedArrow_ == static_cast<int>(arrow);
        button.state |= pressed ? QStyle::State_Sunken : QStyle::State_Raised;
        style()->drawPrimitive(QStyle::PE_PanelButtonBevel, &button, &painter, this);
        QStyleOption indicator;
        indicator.initFrom(this);
        indicator.rect = button.rect.adjusted(2, 2, -2, -2);
        QStyle::PrimitiveElement element;
        if (orientation_ == Qt::Horizontal)
            element = arrow == Arrow::Next ? QStyle::PE_IndicatorArrowRight : QStyle::PE_IndicatorArrowLeft;
        else
            element = arrow == Arrow::Next ? QStyle::PE_IndicatorArrowUp : QStyle::PE_IndicatorArrowDown;
        style()->drawPrimitive(element, &indicator, &painter, this);
    }
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }
}

void SpinButtons::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint pos = event->position().toPoint();
    for (Arrow arrow : {Arrow::Next, Arrow::Previous}) {
        if (arrowRect(arrow).contains(pos)) {
            pressedArrow_ = static_cast<int>(arrow);
            update();
            if (!runHandler([&] { step(arrow); })) {
                // The error box takes the release: do not stay drawn pressed.
                pressedArrow_ = -1;
                update();
            }
            return;
        }
    }
}

void SpinButtons::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
    if (pressedArrow_ >= 0) {
        pressedArrow_ = -1;
        update();
    }
}

void SpinButtons::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Right:
        runHandler([&] { step(Arrow::Next); });
        break;
    case Qt::Key_Down:
    case Qt::Key_Left:
        runHandler([&] { step(Arrow::Previous); });
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

}  // namespace clipora
