#include "focus.h"

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
    if (!control)
        return;
    if (control->hasFocus()) {
        control->clearFocus();
        return;
    }
    // The window is not active: Qt remembers the control as the window's
    // focus widget but sends it nothing when that memory is cleared.
    control->clearFocus();
    if (control) {
        QFocusEvent out(QEvent::FocusOut, Qt::OtherFocusReason);
        QCoreApplication::sendEvent(control, &out);
    }
}

}  // namespace clipora
