#pragma once
// Helpers for the toolkit's widget tests.

#include <QApplication>
#include <QStringList>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include "toolkit/dialogs.h"
#include "toolkit/errorbox.h"

#include <ostream>

// Readable QString values in failure messages.
inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace clipora::test {

// Shows a top-level window and makes it the active window, so that focus
// changes behave as they do for a user.
// Makes the window the active one at once. QApplication::setActiveWindow is
// deprecated from Qt 6.5 on, but on the offscreen platform it is the only call
// that activates synchronously and hands the focus back to the window's focus
// widget after a popup; activateWindow() goes through the platform, which
// leaves the focus where the popup left it.
inline void activate(QWidget& window)
{
    QT_WARNING_PUSH
    QT_WARNING_DISABLE_DEPRECATED
    QApplication::setActiveWindow(&window);
    QT_WARNING_POP
}

inline void showActive(QWidget& window)
{
    window.show();
    activate(window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
}

// Records every error box instead of showing it, for the lifetime of the
// object.
class ErrorBoxRecorder {
public:
    ErrorBoxRecorder()
    {
        previous_ = setErrorBoxHook([this](const ErrorBoxMessage& message) {
            texts.append(message.text);
            titles.append(message.title);
        });
    }
    ~ErrorBoxRecorder() { setErrorBoxHook(std::move(previous_)); }
    ErrorBoxRecorder(const ErrorBoxRecorder&) = delete;
    ErrorBoxRecorder& operator=(const ErrorBoxRecorder&) = delete;

    QStringList texts;
    QStringList titles;

private:
    ErrorBoxHook previous_;
};

// Answers the file dialogs for the lifetime of the object.
class DialogScript {
public:
    explicit DialogScript(DialogAnswerer answerer) { previous_ = setDialogAnswerer(std::move(answerer)); }
    ~DialogScript() { setDialogAnswerer(std::move(previous_)); }
    DialogScript(const DialogScript&) = delete;
    DialogScript& operator=(const DialogScript&) = delete;

private:
    DialogAnswerer previous_;
};

}  // namespace clipora::test
