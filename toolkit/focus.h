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

// Clears `window`'s active control so that no control keeps the keyboard
// focus. The control that had it receives a focus-out with reason Other
// synchronously, inside this call, and so raises its exit signal. This works
// also while the window is not the active window (then Qt itself would send
// nothing): the window's remembered focus widget is told it lost the focus.
// Does nothing when the window has no focused control.
void clearActiveControl(QWidget* window);

}  // namespace clipora
