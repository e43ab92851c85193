#include "cutaxis.h"

#include <QColor>

#include <algorithm>
#include <cstdint>

#include "load/loadcut.h"
#include "load/loadrules.h"
#include "toolkit/conversions.h"
#include "toolkit/editfield.h"
#include "toolkit/scrollbox.h"
#include "toolkit/shaperect.h"
#include "toolkit/speedbutton.h"
#include "toolkit/spinbuttons.h"
#include "toolkit/widgetstyle.h"

namespace clipora {

std::optional<AppliedNumber> applyLowEdge(int typed, int high)
{
    if (typed < 0)
        return std::nullopt;
    // At or beyond the high edge: the last pixel before it, but never before
    // the picture's first pixel (an empty area at 0 stays at 0).
    if (typed >= high) {
        const int value = std::max(high - 1, 0);
        return AppliedNumber{value, value != typed};
    }
    return AppliedNumber{typed, false};
}

std::optional<AppliedNumber> applyHighEdge(int typed, int low, int picSize)
{
    if (typed <= 0)
        return std::nullopt;
    AppliedNumber v{typed, false};
    if (v.value > picSize)
        v = {picSize, true};
    if (v.value <= low)
        v = {low + 1, true};
    // An empty area at the far border (a moved empty marker leaves one) has
    // no pixel after its low edge: the high edge stays at the border.
    if (v.value > picSize)
        v = {picSize, picSize != typed};
    return v;
}

std::optional<AppliedNumber> applySize(int typed, int low, int picSize)
{
    if (typed <= 0)
        return std::nullopt;
    if (std::int64_t(low) + typed > picSize)
        return AppliedNumber{picSize - low, true};
    return AppliedNumber{typed, false};
}

OutlineSpan finishDrawnSpan(OutlineSpan drawn, int pressed, int anchor, int origin, int picSize)
{
    OutlineSpan s = drawn;
    // Released before the press point by more than one pixel: the area runs
    // from the release point to the pixel before the anchor.
    if (pressed < anchor) {
        s.start = origin + pressed - 1;
        s.extent = anchor - pressed + 2;
    }
    // Beyond the picture's first pixel the outline shifts inwards, its
    // extent kept.
    if (s.start < origin - 1)
        s.start = origin - 1;
    // Reaching the last pixel or beyond: up to the picture's far border.
    if (s.start + s.extent >= origin + picSize)
        s.extent = origin + picSize + 1 - s.start;
    // Pressed beyond the picture (only before the first picture): an empty
    // area at the far border rather than one whose edges cross.
    if (s.extent < 2) {
        s.start = origin + picSize - 1;
        s.extent = 2;
    }
    return s;
}

TrackBar* CutAxis::ruler() const { return x_ ? w_.areax : w_.areay; }
EditField* CutAxis::lowField() const { return x_ ? w_.edgexl : w_.edgeyu; }
EditField* CutAxis::sizeField() const { return x_ ? w_.sizex : w_.sizey; }
EditField* CutAxis::highField() const { return x_ ? w_.edgexr : w_.edgeyb; }
SpeedButton* CutAxis::lowButton() const { return x_ ? w_.XL : w_.YU; }
SpeedButton* CutAxis::highButton() const { return x_ ? w_.XR : w_.YB; }
SpinButtons* CutAxis::sizeSpin() const { return x_ ? w_.UpDownX : w_.UpDownY; }
bool CutAxis::edgeMode() const { return lowButton()->isChecked() || highButton()->isChecked(); }

int CutAxis::picSize() const { return x_ ? w_.picwidth : w_.picheight; }
int CutAxis::origin() const { return x_ ? w_.imgleft : w_.imgtop; }
QColor CutAxis::guideColour() const { return x_ ? xAxisColour : yAxisColour; }

int CutAxis::scroll() const { return x_ ? w_.view->scrollX() : w_.view->scrollY(); }
void CutAxis::setScroll(int position) const
{
    x_ ? w_.view->setScrollX(position) : w_.view->setScrollY(position);
}
int& CutAxis::rememberedScroll() const { return x_ ? w_.scrollx : w_.scrolly; }
int CutAxis::viewLength() const { return x_ ? w_.view->width() : w_.view->height(); }

int CutAxis::middle() const
{
    return low() + floorHalf(toIntStrict(sizeField()->text()));
}

void CutAxis::applyLowField() const
{
    const auto v = applyLowEdge(toIntLenient(lowField()->text()), high());
    if (!v)
        return;
    if (v->corrected)
        lowField()->setText(intText(v->value));
    ruler()->setSelStart(v->value);
    sizeField()->setText(intText(high() - v->value));
    const int size = toIntStrict(sizeField()->text());
    ruler()->setPosition(low() + size / 2);
    setStartOf(w_.shot, origin() + v->value - 1);
    setLengthOf(w_.shot, size + 2);
}

void CutAxis::applyHighField() const
{
    const auto v = applyHighEdge(toIntLenient(highField()->text()), low(), picSize());
    if (!v)
        return;
    if (v->corrected)
        highField()->setText(intText(v->value));
    ruler()->setSelEnd(v->value);
    sizeField()->setText(intText(v->value - low()));
    const int size = toIntStrict(sizeField()->text());
    ruler()->setPosition(low() + size / 2);
    setLengthOf(w_.shot, size + 2);
}

void CutAxis::applySizeField() const
{
    const auto s = applySize(toIntLenient(sizeField()->text()), low(), picSize());
    if (!s)
        return;
    if (s->corrected)
        sizeField()->setText(intText(s->value));
    ruler()->setSelEnd(low() + s->value);
    highField()->setText(intText(low() + s->value));
    ruler()->setPosition(s->value / 2 + low());
    setLengthOf(w_.shot, s->value + 2);
}

void CutAxis::pullInToPicture() const
{
    const int last = picSize() - 1;
    if (low() > last) {
        ruler()->setSelStart(last);
        lowField()->setText(intText(last));
        setStartOf(w_.shot, origin() + last - 1);
    }
    ruler()->setSelEnd(picSize());
    highField()->setText(intText(picSize()));
}

void CutAxis::reset() const
{
    ruler()->setSelection(0, picSize());
    setThumbQuietly(ruler(), halfToEven(picSize()));
    lowField()->setText(QStringLiteral("0"));
    highField()->setText(intText(picSize()));
    sizeField()->setText(intText(picSize()));
}

void CutAxis::showEdges(int newLow, int newHigh) const
{
    lowField()->setText(intText(newLow));
    highField()->setText(intText(newHigh));
    ruler()->setSelection(newLow, newHigh);
    setThumbQuietly(ruler(), middle());
}

}  // namespace clipora
