#pragma once
// One axis of the cut area, written once for both: x with the ruler areax,
// the fields edgexl, sizex and edgexr, the buttons XL and XR, picwidth,
// imgleft and the horizontal scroll position; y with their twins areay,
// edgeyu, sizey, edgeyb, YU, YB, picheight, imgtop and the vertical scroll.
//
// The area of an axis lives in its ruler's selection: low edge (selection
// start, first column or row of the area) and high edge (selection end,
// first one after it). The three fields, the ruler's thumb and the marker
// `shot` show it. The rules of the fields are plain functions below, so that
// their clamps can be checked without a window; `CutAxis` applies them to the
// window's controls, reading everything live.

#include <QColor>
#include <QPoint>
#include <QSignalBlocker>
#include <QSize>
#include <QWidget>

#include <optional>

#include "toolkit/trackbar.h"

class Tloadcut;

namespace clipora {

class EditField;
class SpeedButton;
class SpinButtons;

// s / 2 rounded down (-3 gives -2): the thumb stands at the start of the
// area plus half its size.
constexpr int floorHalf(int s)
{
    return s / 2 - (s % 2 < 0 ? 1 : 0);
}

// Assigns a ruler's thumb without running its change handling.
inline void setThumbQuietly(TrackBar* ruler, int position)
{
    const QSignalBlocker quiet(ruler);
    ruler->setPosition(position);
}

// A number applied from one of the fields: the value the area takes, and
// whether it differs from the number typed (the field then shows `value`).
struct AppliedNumber {
    int value;
    bool corrected;
    bool operator==(const AppliedNumber&) const = default;
};

// The low edge typed into its field: refused (nothing) below 0; at or beyond
// the high edge it becomes the high edge - 1, or 0 for an empty area at 0.
std::optional<AppliedNumber> applyLowEdge(int typed, int high);
// The high edge typed into its field: refused at 0 or below; kept within the
// picture, then beyond the low edge unless the low edge is the far border.
std::optional<AppliedNumber> applyHighEdge(int typed, int low, int picSize);
// The size typed into its field: refused at 0 or below; shortened so that
// the high edge low + size stays within the picture (computed without
// overflow, whatever number was typed).
std::optional<AppliedNumber> applySize(int typed, int low, int picSize);

// The marker's outline along one axis, in view coordinates.
struct OutlineSpan {
    int start;
    int extent;
    bool operator==(const OutlineSpan&) const = default;
};

// A rectangle drawn with the mouse, finished along one axis: `drawn` is the
// outline as the press and the last move left it, `pressed` the release
// point and `anchor` the press point's anchor (picture coordinates),
// `origin` the picture's first pixel in the view. The outline is kept within
// one pixel of the picture and is at least 2 long (an empty area).
OutlineSpan finishDrawnSpan(OutlineSpan drawn, int pressed, int anchor, int origin, int picSize);

class CutAxis {
public:
    CutAxis(Tloadcut& w, Qt::Orientation orientation) : w_(w), x_(orientation == Qt::Horizontal) {}
    static CutAxis x(Tloadcut& w) { return CutAxis(w, Qt::Horizontal); }
    static CutAxis y(Tloadcut& w) { return CutAxis(w, Qt::Vertical); }

    CutAxis other() const { return CutAxis(w_, x_ ? Qt::Vertical : Qt::Horizontal); }

    TrackBar* ruler() const;
    EditField* lowField() const;
    EditField* sizeField() const;
    EditField* highField() const;
    SpeedButton* lowButton() const;
    SpeedButton* highButton() const;
    SpinButtons* sizeSpin() const;
    bool edgeMode() const;

    int low() const { return ruler()->selStart(); }
    int high() const { return ruler()->selEnd(); }
    // The thumb's place in the middle of the area: the low edge plus half the
    // size field, read strictly (ConversionError for typed text that is no
    // number).
    int middle() const;
    int picSize() const;
    int origin() const;
    QColor guideColour() const;

    int scroll() const;
    void setScroll(int position) const;
    int& rememberedScroll() const;
    int viewLength() const;
    int rulerStart() const { return startOf(ruler()); }

    // A widget's place and extent along this axis.
    int startOf(const QWidget* widget) const { return x_ ? widget->x() : widget->y(); }
    void setStartOf(QWidget* widget, int start) const
    {
        widget->move(x_ ? QPoint(start, widget->y()) : QPoint(widget->x(), start));
    }
    void setLengthOf(QWidget* widget, int length) const
    {
        widget->resize(x_ ? QSize(length, widget->height()) : QSize(widget->width(), length));
    }

    // The field handlers: each reads its own field leniently and, unless the
    // number is refused, brings the ruler's selection, the other fields, the
    // thumb and the marker into line (the size field read back strictly).
    void applyLowField() const;
    void applyHighField() const;
    void applySizeField() const;

    // An area reaching past a smaller picture, pulled in to its far border
    // before the high edge's field is applied: a low edge at or past the
    // border moves to the last column (row), with its field and the marker's
    // start, so that the area becomes that one pixel wide strip; the high
    // edge and its field (which may hold refused text) take the border.
    void pullInToPicture() const;

    // The whole picture: selection, thumb (no change handling) and fields.
    // The marker is left to the caller.
    void reset() const;
    // The area low..high set by the mouse: edge fields, selection, and the
    // thumb at its middle (no change handling), read from the size field.
    void showEdges(int low, int high) const;

private:
    Tloadcut& w_;
    bool x_;
};

}  // namespace clipora
