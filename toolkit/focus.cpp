#include "focus.h"

#include "handlers.h"

#include <QApplication>
#include <QFocusEvent>
#include <QPointer>
#include <QWidget>

namespace clipora {

bool isRealFocusChange(Qt::FocusReason reason)
{
    switch (reason) {
    case Qt::MouseFocusReason:
    case Qt::TabFocusReason:
    case Qt::BacktabFocusReason:
    case Qt::ShortcutFocusReason:
    case Qt::OtherFocusReason:
        return true;
    default:
        return false;
    }
}

void clearActiveControl(QWidget* window)
{
    if (!window)
        return;
    window = window->window();
    QPointer<QWidget> control = window->focusWidget();
    if (!control || control == window)
        return;
    const bool active = control->hasFocus();
    window->setFocus(Qt::OtherFocusReason);
    if (!active && control) {
        // The window is not active: Qt moved its memory of the focus but told
        // the control nothing.
        QFocusEvent out(QEvent::FocusOut, Qt::OtherFocusReason);
        QCoreApplication::sendEvent(control, &out);
    }
    endEventIfEnded();
}

void moveFocus(QWidget* control)
{
    control->setFocus(Qt::OtherFocusReason);
    endEventIfEnded();
}

void setControlEnabled(QWidget* control, bool enabled)
{
    control->setEnabled(enabled);
    endEventIfEnded();
}

}  // namespace clipora
