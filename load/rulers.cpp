// The rulers and the four edge buttons. With no edge button of its axis
// down, a ruler's thumb moves the whole area along that axis, its size kept
// (whole-area mode). "左端移動"/"右端移動" (XL, XR) and "上端移動"/"下端移動"
// (YU, YB) put a ruler into an edge-move mode: the thumb then moves that one
// edge, the guide line `beam` marks it across the picture (blue for x, red
// for y) and the view scrolls to centre it. A mode ends when its ruler loses
// the focus or a button of the other axis is clicked.
//
// A thumb assignment runs the ruler's change handling inside the assignment;
// the steps below rely on that nesting when they put the thumb back within
// bounds. The handling acts only while the ruler holds the keyboard focus.

#include "loadcut.h"

#include <algorithm>

#include "load/cutaxis.h"
#include "toolkit/conversions.h"
#include "toolkit/editfield.h"
#include "toolkit/focus.h"
#include "toolkit/imagecontrol.h"
#include "toolkit/scrollbox.h"
#include "toolkit/shaperect.h"
#include "toolkit/speedbutton.h"
#include "toolkit/spinbuttons.h"
#include "toolkit/trackbar.h"

using namespace clipora;

namespace {

// The thumb's centre stands this many pixels after the ruler's start plus
// its position: with the ruler 13 pixels before the picture's edge, position
// p stands over picture column (row) p.
constexpr int kThumbOffset = 13;

// The size field read strictly for the whole-area move, kept within 0 and
// the picture size: a larger number would push the area out at both ends at
// once, a negative one would make its edges cross. A number brought within
// those bounds is written back, so that the field shows the area's size.
int wholeAreaSize(const CutAxis& axis)
{
    const int typed = toIntStrict(axis.sizeField()->text());
    const int size = std::clamp(typed, 0, std::max(0, axis.picSize()));
    if (size != typed)
        axis.sizeField()->setText(intText(size));
    return size;
}

// The thumb is the middle of the area: the whole area moves, its size kept,
// and is pushed back inside the picture at either end.
void wholeAreaStep(Tloadcut& w, const CutAxis& axis)
{
    if (axis.scroll() != axis.rememberedScroll())
        axis.setScroll(axis.rememberedScroll());
    TrackBar* ruler = axis.ruler();
    const int s = wholeAreaSize(axis);
    ruler->setSelStart(ruler->position() - floorHalf(s));
    if (ruler->selStart() < 0) {
        ruler->setSelStart(0);
        ruler->setPosition(floorHalf(s) + ruler->selStart());
    }
    ruler->setSelEnd(s + ruler->selStart());
    if (ruler->selEnd() > axis.picSize()) {
        ruler->setSelEnd(axis.picSize());
        ruler->setSelStart(axis.picSize() - s);
        ruler->setPosition(floorHalf(s) + ruler->selStart());
    }
    axis.lowField()->setText(intText(ruler->selStart()));
    axis.highField()->setText(intText(ruler->selEnd()));
    axis.setStartOf(w.shot, ruler->selStart() + axis.origin() - 1);
    axis.setLengthOf(w.shot, s + 2);
}

// The thumb is the column (row) of the marker's outline before the area; the
// area keeps at least one pixel.
void lowEdgeStep(Tloadcut& w, const CutAxis& axis)
{
    TrackBar* ruler = axis.ruler();
    if (ruler->position() + 1 >= ruler->selEnd())
        ruler->setPosition(ruler->selEnd() - 2);
    axis.setStartOf(w.beam, ruler->position() + axis.origin());
    ruler->setSelStart(ruler->position() + 1);
    axis.lowField()->setText(intText(ruler->selStart()));
    axis.sizeField()->setText(intText(ruler->selEnd() - ruler->selStart()));
    axis.setStartOf(w.shot, axis.startOf(w.beam));
    axis.setLengthOf(w.shot, ruler->selEnd() - ruler->selStart() + 2);
}

// The thumb is the column (row) of the marker's outline after the area; the
// area keeps at least one pixel.
void highEdgeStep(Tloadcut& w, const CutAxis& axis)
{
    TrackBar* ruler = axis.ruler();
    if (ruler->selStart() >= ruler->position())
        ruler->setPosition(ruler->selStart() + 1);
    axis.setStartOf(w.beam, ruler->position() + axis.origin());
    ruler->setSelEnd(ruler->position());
    axis.highField()->setText(intText(ruler->selEnd()));
    axis.sizeField()->setText(intText(ruler->selEnd() - ruler->selStart()));
    axis.setLengthOf(w.shot, ruler->selEnd() - ruler->selStart() + 2);
}

void rulerChanged(Tloadcut& w, const CutAxis& axis)
{
    if (!axis.ruler()->hasFocus())
        return;
    if (!axis.lowButton()->isChecked() && !axis.highButton()->isChecked())
        wholeAreaStep(w, axis);
    if (axis.lowButton()->isChecked())
        lowEdgeStep(w, axis);
    if (axis.highButton()->isChecked())
        highEdgeStep(w, axis);
}

// An edge-move mode of the axis ends: both buttons up, the thumb back at the
// middle of the area (no change handling runs while the ruler does not hold
// the focus) and the guide line hidden.
void endEdgeMode(Tloadcut& w, const CutAxis& axis)
{
    axis.lowButton()->setChecked(false);
    axis.highButton()->setChecked(false);
    axis.ruler()->setTickMarks(TrackBar::TickMarks::BothSides);
    axis.ruler()->setPosition(axis.middle());
    w.beam->hide();
    w.beam->setGeometry(w.imgleft - 1, w.imgtop - 1, 1, 1);
}

// The ruler lost the focus: an edge-move mode of its axis ends.
void rulerExit(Tloadcut& w, const CutAxis& axis)
{
    if (!axis.edgeMode())
        return;
    endEdgeMode(w, axis);
}

// A press on an edge button of the axis, before the button toggles: a
// running edge-move mode of the axis ends through the ruler's exit.
void edgeButtonPressed(const CutAxis& axis)
{
    if (axis.ruler()->hasFocus())
        moveFocus(axis.sizeSpin());
}

// An edge button of the axis was clicked and is down: the thumb goes to that
// edge of the marker's outline, the guide line appears there, a mode of the
// other axis ends, the ruler takes the focus and the view scrolls to centre
// the thumb.
void edgeButtonClicked(Tloadcut& w, const CutAxis& axis)
{
    TrackBar* ruler = axis.ruler();
    // A click that released the button (its mode was on while the ruler did
    // not hold the focus) starts no mode: it ends the one that was on.
    if (!axis.edgeMode()) {
        endEdgeMode(w, axis);
        return;
    }
    if (axis.lowButton()->isChecked()) {
        axis.setStartOf(w.beam, ruler->selStart() + axis.origin() - 1);
        ruler->setPosition(ruler->selStart() - 1);
    } else {
        axis.setStartOf(w.beam, ruler->selEnd() + axis.origin());
        ruler->setPosition(ruler->selEnd());
    }
    const CutAxis across = axis.other();
    axis.setLengthOf(w.beam, 1);
    across.setStartOf(w.beam, across.origin());
    across.setLengthOf(w.beam, across.picSize());
    w.beam->setPenColor(axis.guideColour());
    w.beam->show();

    // The group has just released the other axis's button. That ruler still
    // has the focus, so putting its thumb back to the middle runs its
    // whole-area handling: its scroll position comes back, its edges stay.
    if (across.ruler()->hasFocus()) {
        across.ruler()->setTickMarks(TrackBar::TickMarks::BothSides);
        across.ruler()->setPosition(across.middle());
    }

    ruler->setTickMarks(TrackBar::TickMarks::BottomRight);
    moveFocus(ruler);
    // A field that held the focus is applied as it leaves, and the apply
    // clears the window's active control: the ruler asks again, so that the
    // mode has the focus it needs.
    if (ruler->isActiveWindow() && !ruler->hasFocus())
        moveFocus(ruler);

    // The thumb's place in the view's content, from its place on screen and
    // the current scroll position, less half the view.
    axis.setScroll(axis.scroll() + axis.rulerStart() + ruler->position() + kThumbOffset -
                   axis.viewLength() / 2);
}

}  // namespace

void Tloadcut::areaxtick() { rulerChanged(*this, CutAxis::x(*this)); }
void Tloadcut::areaytick() { rulerChanged(*this, CutAxis::y(*this)); }

void Tloadcut::areaxEnter() { scrollx = view->scrollX(); }
void Tloadcut::areayEnter() { scrolly = view->scrollY(); }

void Tloadcut::areaxExit() { rulerExit(*this, CutAxis::x(*this)); }
void Tloadcut::areayExit() { rulerExit(*this, CutAxis::y(*this)); }

void Tloadcut::XLRMouseDown() { edgeButtonPressed(CutAxis::x(*this)); }
void Tloadcut::YUBMouseDown() { edgeButtonPressed(CutAxis::y(*this)); }

void Tloadcut::XLRClick() { edgeButtonClicked(*this, CutAxis::x(*this)); }
void Tloadcut::YUBClick() { edgeButtonClicked(*this, CutAxis::y(*this)); }

// The children of the view move as it scrolls: the picture's origin follows
// the picture, so that the marker and the guide line placed from it stay on
// the picture's pixels.
void Tloadcut::viewScrolled()
{
    imgleft = mainimage->x();
    imgtop = mainimage->y();
}
