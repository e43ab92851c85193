// Mouse selection on the picture: with Ctrl held a press and drag draws a
// new cut area; without Ctrl a drag on the marker `shot` (or on the guide
// line `beam`) moves the whole area. Any mouse button acts alike; of the
// keyboard only Ctrl counts. The controls capture the pointer after a press,
// so a drag may end outside the picture.
//
// Positions: `mainimage` reports picture coordinates (px, py); the shapes
// report positions relative to their own top-left corner, which plus the
// shape's place gives view coordinates (vx, vy), and px = vx - imgleft.

#include "loadcut.h"

#include <QImage>

#include <algorithm>

#include "load/cutaxis.h"
#include "load/forms.h"
#include "toolkit/conversions.h"
#include "toolkit/editfield.h"
#include "toolkit/imagecontrol.h"
#include "toolkit/shaperect.h"
#include "toolkit/trackbar.h"
#include "zoom/resize.h"

using namespace clipora;

namespace {

bool withCtrl(Qt::KeyboardModifiers modifiers)
{
    return modifiers.testFlag(Qt::ControlModifier);
}

QPoint viewPoint(const ShapeRect* shape, const QPoint& pos)
{
    return shape->pos() + pos;
}

}  // namespace

bool Tloadcut::transpickDown() const
{
    return forms::resize && forms::resize->transpickDown();
}

// ---------------------------------------------------------------------------
// The picture

void Tloadcut::mainimageMouseDown(const QPoint& pos, Qt::MouseButton, Qt::KeyboardModifiers modifiers)
{
    // Drawing and picking a colour exclude each other.
    const bool picking = transpickDown();
    if (withCtrl(modifiers) && !picking)
        startDrawing(pos.x(), pos.y());
    if (picking)
        pickColour(pos.x(), pos.y());
}

void Tloadcut::mainimageMouseMove(const QPoint& pos, Qt::MouseButtons, Qt::KeyboardModifiers)
{
    if (drawing)
        drawTo(pos.x(), pos.y());
}

void Tloadcut::mainimageMouseUp(const QPoint& pos, Qt::MouseButton, Qt::KeyboardModifiers)
{
    if (drawing)
        finishDrawing(pos.x(), pos.y());
}

// ---------------------------------------------------------------------------
// The marker and the guide line

void Tloadcut::shotMouseDown(ShapeRect* sender, const QPoint& pos, Qt::MouseButton button,
                             Qt::KeyboardModifiers modifiers)
{
    const QPoint v = viewPoint(sender, pos);
    if (withCtrl(modifiers)) {
        mainimageMouseDown(QPoint(v.x() - imgleft, v.y() - imgtop), button, modifiers);
        return;
    }
    // Without Ctrl the press moves the area, also while a colour is to be
    // picked: only a press on the picture itself picks.
    moving = true;
    startx = v.x();
    starty = v.y();
    startleft = shot->x();
    starttop = shot->y();
}

void Tloadcut::shotMouseMove(ShapeRect* sender, const QPoint& pos, Qt::MouseButtons buttons,
                             Qt::KeyboardModifiers modifiers)
{
    const QPoint v = viewPoint(sender, pos);
    if (drawing)
        mainimageMouseMove(QPoint(v.x() - imgleft, v.y() - imgtop), buttons, modifiers);
    if (moving) {
        // The marker follows the pointer's displacement since the press and
        // keeps its size; its outline stays within one pixel of the picture.
        const int width = shot->width();
        const int height = shot->height();
        int left = startleft + v.x() - startx;
        int top = starttop + v.y() - starty;
        if (left < imgleft - 1)
            left = imgleft - 1;
        if (left + width > imgleft + picwidth + 1)
            left = imgleft + picwidth + 1 - width;
        if (top < imgtop - 1)
            top = imgtop - 1;
        if (top + height > imgtop + picheight + 1)
            top = imgtop + picheight + 1 - height;
        // A marker larger than the picture (before the first picture) keeps
        // to the picture's left and upper edges: no edge becomes negative.
        left = std::max(left, imgleft - 1);
        top = std::max(top, imgtop - 1);
        shot->move(left, top);
    }
}

void Tloadcut::shotMouseUp(ShapeRect* sender, const QPoint& pos, Qt::MouseButton, Qt::KeyboardModifiers)
{
    const QPoint v = viewPoint(sender, pos);
    if (drawing)
        finishDrawing(v.x() - imgleft, v.y() - imgtop);
    if (moving)
        finishMoving();
}

// ---------------------------------------------------------------------------
// Drawing, moving and picking

void Tloadcut::startDrawing(int px, int py)
{
    drawing = true;
    shot->setGeometry(imgleft + px - 1, imgtop + py - 1, 2, 2);
    startx = px - 1;
    starty = py - 1;
}

// The marker spans the press point's anchor column (startx) and the pointer,
// whichever side of the press the pointer is: the rectangle that finishing
// here would give before it is clamped to the picture.
void Tloadcut::drawTo(int px, int py)
{
    int left = imgleft + startx;
    int width = px - startx + 2;
    if (px < startx) {
        left = imgleft + px - 1;
        width = startx - px + 2;
    }
    int top = imgtop + starty;
    int height = py - starty + 2;
    if (py < starty) {
        top = imgtop + py - 1;
        height = starty - py + 2;
    }
    shot->setGeometry(left, top, width, height);
}

void Tloadcut::finishDrawing(int px, int py)
{
    drawing = false;

    // The marker as the press and the last move left it.
    const int left = shot->x();
    const int width = shot->width();
    const int top = shot->y();
    const int height = shot->height();

    const OutlineSpan spanx = finishDrawnSpan({left, width}, px, startx, imgleft, picwidth);
    const OutlineSpan spany = finishDrawnSpan({top, height}, py, starty, imgtop, picheight);
    shot->setGeometry(spanx.start, spany.start, spanx.extent, spany.extent);

    sizex->setText(intText(spanx.extent - 2));
    CutAxis::x(*this).showEdges(spanx.start + 1 - imgleft, spanx.start + spanx.extent - 1 - imgleft);
    sizey->setText(intText(spany.extent - 2));
    CutAxis::y(*this).showEdges(spany.start + 1 - imgtop, spany.start + spany.extent - 1 - imgtop);
}

// The moved marker becomes the area; the sizes stay, so the size fields are
// only read. A size field holding typed text that is no number ends the
// finish at its read, with the edges before it already written.
void Tloadcut::finishMoving()
{
    moving = false;
    const QRect marker = shot->geometry();
    CutAxis::x(*this).showEdges(marker.x() + 1 - imgleft, marker.x() + marker.width() - 1 - imgleft);
    CutAxis::y(*this).showEdges(marker.y() + 1 - imgtop, marker.y() + marker.height() - 1 - imgtop);
}

// The colour of the picture as shown at (px, py) goes to the resize dialog,
// which then comes to the front. A point on the marker's outline just
// outside the picture gives the nearest pixel of the picture; with nothing
// shown, white.
void Tloadcut::pickColour(int px, int py)
{
    forms::resize->takePickedColour(mainimage->shownColour(QPoint(px, py)));
    resizeonClick();
}
