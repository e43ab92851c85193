#pragma once
// A rectangle outline, one pixel wide, drawn along the inside of the widget's
// bounds (columns 0 and width-1, rows 0 and height-1), with no fill: the
// controls under it show through the inside. The pen either inverts the
// pixels under the outline ("not", every pixel inverted exactly once, also
// where the sides meet) or draws them in a colour. A shape 1 pixel wide (or
// high) is a line; one 2 pixels wide is all outline.
//
// Mouse: the whole rectangle, inside included, receives the mouse. After a
// press the shape keeps receiving the moves and the release wherever the
// pointer goes until the buttons are released (pointer capture), with
// positions relative to the shape's top-left corner (negative or beyond the
// size outside it). Moves without a button pressed arrive as well.
// Cross-hair cursor.

#include <QColor>
#include <QWidget>

namespace clipora {

class ShapeRect : public QWidget {
    Q_OBJECT
public:
    enum class PenMode { Not, Normal };
    Q_ENUM(PenMode)

    explicit ShapeRect(QWidget* parent = nullptr);

    PenMode penMode() const { return penMode_; }
    void setPenMode(PenMode mode);
    QColor penColor() const { return penColor_; }
    void setPenColor(const QColor& color);

signals:
    void mouseDown(const QPoint& pos, Qt::MouseButton button, Qt::KeyboardModifiers modifiers);
    void mouseMove(const QPoint& pos, Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers);
    void mouseUp(const QPoint& pos, Qt::MouseButton button, Qt::KeyboardModifiers modifiers);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    PenMode penMode_ = PenMode::Not;
    QColor penColor_ = Qt::black;
};

}  // namespace clipora
