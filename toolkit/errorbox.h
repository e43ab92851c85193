#pragma once
// The standard error box, and how errors escaping an event handler reach it.
//
// The box: title = the application's display name (derived from the program
// file's name unless set), a stop (critical) icon, the text, one OK button;
// modal, shown with QMessageBox::exec, so the event loop goes on inside it.
//
// The text shown: a "." is appended when the text is not empty and its last
// byte in UTF-8 is greater than 0x2E ('.'), compared as an unsigned byte.
// So a text ending in a letter, a digit, '/', ':' ... or any non-ASCII
// character (every byte of a multi-byte UTF-8 character is 0x80 or above)
// gets a ".", while one ending in '.', ' ', '!', ')', '-' or a control
// character does not.
//
// Errors in handlers: the program's handlers run inside runHandler()
// (handlers.h), which catches what they throw and shows it here; an error
// ends the event it happened in, nested handlers included, and what changed
// before it stays. clipora::Application::notify() is the last net for
// anything thrown by code that is not such a handler.
//
// Tests: setErrorBoxHook() makes the toolkit hand each box to a function
// instead of showing it, so no person is needed.

#include <exception>
#include <functional>
#include <string>

#include <QString>

class QWidget;

namespace clipora {

// The text as the box shows it (the "." rule above).
QString errorBoxText(const QString& text);
std::string errorBoxText(const std::string& utf8);

struct ErrorBoxMessage {
    QString title;
    QString text;  // as shown, "." rule applied
};

// Shows the standard error box with `text` (the "." rule is applied here),
// or hands it to the hook when one is set.
void showErrorBox(const QString& text, QWidget* parent = nullptr);

// Replaces showing the box by a call of `hook`; an empty function restores
// the real box. Returns the previous hook.
using ErrorBoxHook = std::function<void(const ErrorBoxMessage&)>;
ErrorBoxHook setErrorBoxHook(ErrorBoxHook hook);

// The user's text for an exception: what() as UTF-8 for std::exception,
// a fixed text for running out of memory and for anything else.
QString exceptionText(const std::exception_ptr& error);

// Shows the box for an exception caught at a handler's end.
void reportException(const std::exception_ptr& error);


}  // namespace clipora
