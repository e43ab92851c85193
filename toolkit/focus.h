#pragma once
// Focus rules shared by the controls: which focus changes count as a control
// being entered or left, and clearing a window's active control.

#include <Qt>

class QWidget;

namespace clipora {

// True for the focus changes in which a control really gains or loses the
// keyboard focus: a click (Mouse), Tab, Backtab, a shortcut or a programmatic
// change (Other). Window activation changes (ActiveWindow), popups and menu
// bars (Popup, MenuBar) are not: the control keeps its place as the window's
// active control, so its enter and exit signals must not run for them.
bool isRealFocusChange(Qt::FocusReason reason);

// Clears the active control of `window` (or of the window `window` belongs
// to) so that no control keeps the keyboard focus: the window itself takes it,
// which also keeps Qt from handing it to the first control of the tab chain
// when the window is activated again. The control that had the focus
// receives a focus-out with reason Other synchronously, inside this call, and
// so raises its exit signal. This works also while the window is not the
// active window (then Qt itself would send nothing): the window's remembered
// focus control is told it lost the focus. Does nothing when no control of
// the window has the focus (a nested call from an exit handler included).
// An error in that exit handler ends the caller's event too (handlers.h).
void clearActiveControl(QWidget* window);

// Gives `control` the keyboard focus (reason Other), as a handler of the
// program does: the control that had it leaves inside this call, and an
// error in its exit handler ends the caller's event too (handlers.h).
void moveFocus(QWidget* control);

// Enables or disables `control`, as a handler of the program does: a
// disabled control that had the focus hands it on inside this call, and an
// error in its exit handler ends the caller's event too (handlers.h).
void setControlEnabled(QWidget* control, bool enabled);

}  // namespace clipora
