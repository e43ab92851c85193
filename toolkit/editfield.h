#pragma once
// An edit field that accepts any text, with the events the program's number
// fields need: keyDown for every key pressed in it (before the field handles
// the key, which is then passed on as usual, not consumed), entered/exited
// when it really gains or loses the keyboard focus (see isRealFocusChange:
// not for window deactivation or popups; QLineEdit::editingFinished cannot
// stand for this). It takes no drops, so a drop on it reaches its window.

#include <QKeySequence>
#include <QLineEdit>
#include <QList>

namespace clipora {

class EditField : public QLineEdit {
    Q_OBJECT
public:
    explicit EditField(QWidget* parent = nullptr);
    explicit EditField(const QString& text, QWidget* parent = nullptr);

    // QLineEdit::setText; an error in a handler of the text's change ends
    // the caller's event too (handlers.h).
    void setText(const QString& text);

    // True for the keys that stand for Enter (Return and the keypad's Enter).
    static bool isEnterKey(int key) { return key == Qt::Key_Return || key == Qt::Key_Enter; }

    // Key sequences the field leaves to its window's shortcuts (menu items)
    // although it would use them itself, such as Ctrl+C and Ctrl+V. Empty by
    // default.
    void setWindowShortcuts(const QList<QKeySequence>& shortcuts) { windowShortcuts_ = shortcuts; }
    const QList<QKeySequence>& windowShortcuts() const { return windowShortcuts_; }

signals:
    // A key was pressed in the field: the Qt key code and the modifiers of
    // that key event. Emitted before the field acts on the key.
    void keyDown(int key, Qt::KeyboardModifiers modifiers);
    void entered();
    void exited();

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    QList<QKeySequence> windowShortcuts_;
};

}  // namespace clipora
