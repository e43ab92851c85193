#pragma once
// The keyboard state of the input event being handled.

#include <Qt>

namespace clipora {

// Whether Ctrl was held for the input event being handled: the mouse click,
// key press or shortcut that led to the running handler (kept by
// clipora::Application::notify from the event itself, not from the global
// keyboard state, which lags behind or runs ahead of the event). For a menu
// shortcut it is the shortcut's own modifiers (Ctrl+S: held). False when no
// input event is being handled. When the application object is a plain
// QApplication, falls back to QGuiApplication::keyboardModifiers().
bool ctrlHeld();

// All modifiers, by the same rule.
Qt::KeyboardModifiers currentInputModifiers();

}  // namespace clipora
