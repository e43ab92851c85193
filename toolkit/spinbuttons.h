#pragma once
// Spin buttons attached to an edit field: two arrows (left/right or up/down)
// that step the number standing in the field.
//
// A step (a press of the first mouse button on an arrow, or an arrow key
// while the spin buttons have the focus):
//   1. reads the field's text as an integer (strict syntax, see
//      conversions.h); when it holds none, the spin buttons' own position is
//      used instead;
//   2. adds the increment (the "next" arrow: right or up) or subtracts it
//      (the "previous" arrow: left or down); a negative increment makes the
//      up arrow lower the number;
//   3. clamps the result to minimum..maximum (no wrapping);
//   4. stores it as the position and writes it into the field as decimal;
//   5. emits clicked(arrow).
// An error in a handler of the field's text or of clicked() ends the step
// (and the event that made it: handlers.h).
// Each press steps once (no auto-repeat). The step happens even at a limit:
// the number is then written back unchanged and clicked() still follows.
//
// Focus: a click on an arrow moves the keyboard focus nowhere (neither to the
// spin buttons nor to the field), so the field being edited keeps it until
// the click handler decides. The spin buttons can take the focus by Tab or by
// setFocus() (the program moves the focus to one of them on purpose); while
// they have it, Up/Right step with the next arrow, Down/Left with the
// previous one.
//
// Ranges are 32-bit; setting the range clamps the position but does not
// write the field. setPosition() clamps and writes the field.

#include <QWidget>

namespace clipora {

class EditField;

class SpinButtons : public QWidget {
    Q_OBJECT
public:
    enum class Arrow { Next, Previous };
    Q_ENUM(Arrow)

    explicit SpinButtons(Qt::Orientation orientation, QWidget* parent = nullptr);

    // The field whose number the arrows step (not owned). May be null.
    void setField(EditField* field) { field_ = field; }
    EditField* field() const { return field_; }

    Qt::Orientation orientation() const { return orientation_; }

    int minimum() const { return minimum_; }
    int maximum() const { return maximum_; }
    void setMinimum(int minimum);
    void setMaximum(int maximum);
    void setRange(int minimum, int maximum);
    int increment() const { return increment_; }
    void setIncrement(int increment) { increment_ = increment; }
    int position() const { return position_; }
    void setPosition(int position);

    // Performs one step as if the arrow had been pressed.
    void step(Arrow arrow);

    // The rectangle of each arrow in widget coordinates.
    QRect arrowRect(Arrow arrow) const;

    QSize sizeHint() const override;

signals:
    // An arrow stepped the number; the field already shows the new number.
    void clicked(clipora::SpinButtons::Arrow arrow);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    Qt::Orientation orientation_;
    EditField* field_ = nullptr;
    int minimum_ = 0;
    int maximum_ = 100;
    int increment_ = 1;
    int position_ = 0;
    int pressedArrow_ = -1;  // index of the arrow drawn pressed, -1 for none
};

}  // namespace clipora
