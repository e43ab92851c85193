#pragma once
// Toggle buttons that work in a group: at most one of the group is down;
// pressing one that is up puts it down and releases the others; clicking one
// that is down releases it, so all may be up.
//
// The button's down state is QAbstractButton::isChecked()/setChecked()
// (QAbstractButton::isDown() is only the visual press while the mouse button
// is held). Setting a button checked, by program or by click, releases the
// others of its group at once.
//
// Order of events for a click with the first mouse button: mouseDown()
// (before anything else, the button not yet toggled), then at the release on
// the button: the toggle (toggled(), the group releasing the others), then
// clicked(). A press with another mouse button emits mouseDown() only and
// does not toggle; a release outside the button does not toggle either.
//
// Speed buttons never take the keyboard focus.

#include <QObject>
#include <QList>
#include <QPointer>
#include <QToolButton>

namespace clipora {

class SpeedButtonGroup;

class SpeedButton : public QToolButton {
    Q_OBJECT
public:
    explicit SpeedButton(const QString& caption, QWidget* parent = nullptr);
    ~SpeedButton() override;

    SpeedButtonGroup* group() const { return group_; }

signals:
    // A mouse button was pressed on the button, before it toggles: the
    // button, the press position in the button and the event's modifiers.
    void mouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, const QPoint& pos);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void nextCheckState() override;

private:
    friend class SpeedButtonGroup;
    SpeedButtonGroup* group_ = nullptr;
};

class SpeedButtonGroup : public QObject {
    Q_OBJECT
public:
    explicit SpeedButtonGroup(QObject* parent = nullptr);
    ~SpeedButtonGroup() override;

    void addButton(SpeedButton* button);
    QList<SpeedButton*> buttons() const;
    // The button that is down, or null when all are up.
    SpeedButton* downButton() const;
    // Releases every button.
    void releaseAll();

private:
    void buttonToggled(SpeedButton* button, bool down);
    void removeButton(SpeedButton* button);
    friend class SpeedButton;
    QList<QPointer<SpeedButton>> buttons_;
};

}  // namespace clipora
