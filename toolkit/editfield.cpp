#include "editfield.h"

#include <QFocusEvent>
#include <QKeyEvent>

#include "focus.h"
#include "handlers.h"

namespace clipora {

// The fields take no drops: a file dragged onto one goes to the window,
// which loads it, instead of its path being pasted as text.
EditField::EditField(QWidget* parent) : QLineEdit(parent)
{
    setAcceptDrops(false);
}

EditField::EditField(const QString& text, QWidget* parent) : QLineEdit(text, parent)
{
    setAcceptDrops(false);
}

void EditField::setText(const QString& text)
{
    QLineEdit::setText(text);
    endEventIfEnded();
}

bool EditField::event(QEvent* event)
{
    // The field would claim these keys for itself; leave them to the window's
    // shortcuts by not accepting the override.
    if (event->type() == QEvent::ShortcutOverride && !windowShortcuts_.isEmpty()) {
        auto* key = static_cast<QKeyEvent*>(event);
        const QKeySequence pressed(key->keyCombination());
        for (const QKeySequence& shortcut : windowShortcuts_) {
            if (shortcut.matches(pressed) == QKeySequence::ExactMatch) {
                event->ignore();
                return true;
            }
        }
    }
    return QLineEdit::event(event);
}

void EditField::keyPressEvent(QKeyEvent* event)
{
    emit keyDown(event->key(), event->modifiers());
    QLineEdit::keyPressEvent(event);
}

void EditField::focusInEvent(QFocusEvent* event)
{
    QLineEdit::focusInEvent(event);
    if (isRealFocusChange(event->reason()))
        emit entered();
}

void EditField::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    if (isRealFocusChange(event->reason()))
        emit exited();
}

}  // namespace clipora
