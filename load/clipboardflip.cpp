#include <utility>

#include "imaging/cut.h"
#include "imaging/errors.h"
#include "imaging/flip.h"
#include "load/loadcut.h"
#include "toolkit/clipboard.h"
#include "toolkit/imagecontrol.h"

using namespace clipora;

namespace {

// The displayed picture becomes a bitmap holding `flipbmp`, whatever kind it
// was before, and so does the working bitmap. Sizes, rulers, fields and the
// cut area stay: the area now marks the same coordinates of the mirror image.
void showFlipped(Tloadcut& window, Bitmap24 flipbmp)
{
    Picture shown;
    shown.kind = PictureKind::Bitmap;
    shown.pixels = flipbmp;
    window.mainimage->setPicture(std::move(shown));
    window.workbmp = std::move(flipbmp);
}

}  // namespace

// Another road into the window, ending in loaded(). It does not pass through
// picload(): lastfile and the dialogs' presets stay as they were.
void Tloadcut::PastemenuClick()
{
    // The clipboard is read completely before anything changes, so a
    // clipboard without a picture, or a broken one, leaves all as it was.
    mainimage->setPicture(pasteFromClipboard());
    loaded();
}

// The cut area of the displayed picture (not of workbmp), as drawn on a
// picwidth by picheight canvas, goes on the clipboard. Nothing in the window
// changes. Before the first picture there is nothing to copy, and an empty
// area gives nothing either: both are refused and the clipboard keeps what
// it held.
void Tloadcut::CopymenuClick()
{
    if (picwidth <= 0 || picheight <= 0)
        throw ImagingError(messages::nothingToCopy);
    const CutArea area{xl(), yu(), xr(), yb()};
    if (area.empty())
        throw ImagingError(messages::emptyCopyArea);
    copyToClipboard(cutArea(mainimage->picture(), picwidth, picheight, area));
}

void Tloadcut::HflipClick()
{
    showFlipped(*this, mirroredLeftRight(workbmp));
}

void Tloadcut::VflipClick()
{
    showFlipped(*this, mirroredUpsideDown(workbmp));
}
