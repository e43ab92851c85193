#include "application.h"

#include <QInputEvent>
#include <QKeySequence>
#include <QShortcutEvent>

#include "errorbox.h"
#include "handlers.h"

namespace clipora {

namespace {

struct InputState {
    bool active = false;
    Qt::KeyboardModifiers modifiers;
};
InputState current;

// The modifiers an event carries when it is an input event.
bool inputModifiersOf(const QEvent* event, Qt::KeyboardModifiers& modifiers)
{
    if (event->type() == QEvent::Shortcut) {
        const QKeySequence key = static_cast<const QShortcutEvent*>(event)->key();
        modifiers = key.isEmpty() ? Qt::NoModifier : key[0].keyboardModifiers();
        return true;
    }
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::TabletMove:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::ContextMenu:
        modifiers = static_cast<const QInputEvent*>(event)->modifiers();
        return true;
    default:
        return false;
    }
}

}  // namespace

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {}

Application::~Application() = default;

bool Application::notify(QObject* receiver, QEvent* event)
{
    const InputState outer = current;
    Qt::KeyboardModifiers modifiers;
    if (inputModifiersOf(event, modifiers))
        current = {true, modifiers};
    bool result = true;
    try {
        result = QApplication::notify(receiver, event);
    } catch (const EventEnded&) {
        current = outer;
        return true;
    } catch (...) {
        current = outer;
        reportException(std::current_exception());
        return true;
    }
    current = outer;
    return result;
}

Qt::KeyboardModifiers Application::inputModifiers()
{
    return current.active ? current.modifiers : Qt::KeyboardModifiers();
}

}  // namespace clipora
