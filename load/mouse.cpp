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

#include "load/areahelpers.h"
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

    // The marker as the press and the last move left it; kept here as
    // numbers, since the widget cannot hold a width or height below zero.
    int left = shot->x();
    int width = shot->width();
    int top = shot->y();
    int height = shot->height();

    // One axis of the finished rectangle; the x axis is described, y is alike.
    const auto finishAxis = [](int pressed, int anchor, int origin, int size, int& start, int& extent) {
        // Released left of the press point by more than one pixel: the area
        // runs from the release point to the column before the anchor.
        if (pressed < anchor) {
            start = origin + pressed - 1;
            extent = anchor - pressed + 2;
        }
        // Beyond the left border the rectangle shifts right, its width kept.
        if (start < origin - 1)
            start = origin - 1;
        // Reaching the last column or beyond: up to the right border.
        if (start + extent >= origin + size)
            extent = origin + size + 1 - start;
        // Pressed right of the picture (only before the first picture): an
        // empty area at the right border rather than one whose edges cross.
        if (extent < 2) {
            start = origin + size - 1;
            extent = 2;
        }
    };
    finishAxis(px, startx, imgleft, picwidth, left, width);
    finishAxis(py, starty, imgtop, picheight, top, height);

    shot->setGeometry(left, top, width, height);

    const int newxl = left + 1 - imgleft;
    const int newxr = left + width - 1 - imgleft;
    sizex->setText(intText(width - 2));
    edgexl->setText(intText(newxl));
    edgexr->setText(intText(newxr));
    areax->setSelection(newxl, newxr);
    setThumbQuietly(areax, xl() + floorHalf(toIntStrict(sizex->text())));

    const int newyu = top + 1 - imgtop;
    const int newyb = top + height - 1 - imgtop;
    sizey->setText(intText(height - 2));
    edgeyu->setText(intText(newyu));
    edgeyb->setText(intText(newyb));
    areay->setSelection(newyu, newyb);
    setThumbQuietly(areay, yu() + floorHalf(toIntStrict(sizey->text())));
}

// The moved marker becomes the area; the sizes stay, so the size fields are
// only read. A size field holding typed text that is no number ends the
// finish at its read, with the edges before it already written.
void Tloadcut::finishMoving()
{
    moving = false;
    const QRect marker = shot->geometry();

    const int newxl = marker.x() + 1 - imgleft;
    const int newxr = marker.x() + marker.width() - 1 - imgleft;
    edgexl->setText(intText(newxl));
    edgexr->setText(intText(newxr));
    areax->setSelection(newxl, newxr);
    setThumbQuietly(areax, xl() + floorHalf(toIntStrict(sizex->text())));

    const int newyu = marker.y() + 1 - imgtop;
    const int newyb = marker.y() + marker.height() - 1 - imgtop;
    edgeyu->setText(intText(newyu));
    edgeyb->setText(intText(newyb));
    areay->setSelection(newyu, newyb);
    setThumbQuietly(areay, yu() + floorHalf(toIntStrict(sizey->text())));
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
