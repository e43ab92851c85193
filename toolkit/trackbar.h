#pragma once
// A track bar with a selection range: the program's rulers.
//
// Position, minimum and maximum are those of QAbstractSlider: the position
// always stays within minimum..maximum; assigning a number outside stores the
// nearest bound; lowering the maximum below the position (or raising the
// minimum above it) moves the thumb. Every change of the position, whatever
// its cause (an assignment, a range change, a key, the mouse), emits
// changed() synchronously inside the call that made it, before that call
// returns; a handler that assigns the position again runs the next changed()
// nested inside the first. Assigning the current position emits nothing.
//
// The selection range (selStart..selEnd) is not limited by the track bar: it
// holds whatever numbers are assigned and is drawn as a highlighted stretch
// of the channel (nothing while both ends are 0).
//
// Geometry along the bar: the channel runs from kMargin pixels after the
// bar's start to kMargin + 1 pixels before its end, and position p lies at
// kMargin + (p - minimum) * (length - 2 * kMargin - 1) / (maximum - minimum)
// along the bar (rounded to nearest). With length = (maximum - minimum) +
// 2 * kMargin + 1 that is one pixel per step: a ruler 26 pixels longer than
// a picture of width w, with range -1..w, puts position p at pixel p + 13.
// Vertical bars have their minimum at the top.
//
// Input: the bar takes the keyboard focus by click and by Tab. Left/Up step
// down by singleStep, Right/Down step up, PageUp/PageDown by pageStep, Home
// and End go to the ends. A press with the first mouse button on the thumb
// drags it; a press elsewhere on the bar puts the thumb at the pressed place
// and then drags it. The focus arrives (and entered() runs) before the
// press's change. The wheel steps the thumb only while the bar has the focus.
//
// entered()/exited() run on real focus changes only (see isRealFocusChange):
// not when the window is deactivated or a popup opens.

#include <QAbstractSlider>

namespace clipora {

class TrackBar : public QAbstractSlider {
    Q_OBJECT
public:
    // Where tick marks would stand; it shapes the thumb (no ticks are drawn).
    // BothSides: a plain rectangular thumb. BottomRight: a thumb pointing
    // down (horizontal bar) or right (vertical bar). TopLeft: pointing up or
    // left.
    enum class TickMarks { BothSides, BottomRight, TopLeft };
    Q_ENUM(TickMarks)

    static constexpr int kMargin = 12;

    explicit TrackBar(Qt::Orientation orientation, QWidget* parent = nullptr);

    // The thumb position (QAbstractSlider's value under the program's name).
    // The assignments below are QAbstractSlider's; an error in the change
    // handler they run ends the caller's event too (handlers.h).
    int position() const { return value(); }
    void setPosition(int position);
    void setMinimum(int minimum);
    void setMaximum(int maximum);
    void setRange(int minimum, int maximum);

    int selStart() const { return selStart_; }
    int selEnd() const { return selEnd_; }
    void setSelStart(int start);
    void setSelEnd(int end);
    void setSelection(int start, int end);

    TickMarks tickMarks() const { return tickMarks_; }
    void setTickMarks(TickMarks marks);

    // Pixel offset along the bar (x for horizontal, y for vertical) of the
    // centre of position p, and the position nearest to a pixel offset
    // (clamped to the range).
    int pixelForPosition(int p) const;
    int positionForPixel(int pixel) const;
    // The thumb's rectangle in widget coordinates.
    QRect thumbRect() const;

    QSize sizeHint() const override;

signals:
    // The thumb position changed (see the contract above).
    void changed();
    // The bar received / lost the keyboard focus for real.
    void entered();
    void exited();

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    int length() const;
    int along(const QPoint& point) const;

    int selStart_ = 0;
    int selEnd_ = 0;
    TickMarks tickMarks_ = TickMarks::BothSides;
    bool dragging_ = false;
    int dragOffset_ = 0;  // pixels from the thumb's centre to the press point
};

}  // namespace clipora
