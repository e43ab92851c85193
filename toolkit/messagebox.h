#pragma once
// The plain message box: one text, one OK button, no icon, the application's
// display name as its title; modal (the event loop goes on inside it). For
// notices that are not errors, such as a request to change a setting; errors
// go to the standard error box (errorbox.h).
//
// Tests: setMessageBoxHook() hands each text to a function instead of
// showing the box, so no person is needed.

#include <functional>

#include <QString>

class QWidget;

namespace clipora {

// Shows the text as it is (no "." is added), or hands it to the hook.
void showMessage(const QString& text, QWidget* parent = nullptr);

// Replaces showing the box by a call of `hook`; an empty function restores
// the real box. Returns the previous hook.
using MessageBoxHook = std::function<void(const QString& text)>;
MessageBoxHook setMessageBoxHook(MessageBoxHook hook);

}  // namespace clipora
