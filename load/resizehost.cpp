#include "resizehost.h"

#include <algorithm>

#include "load/loadcut.h"
#include "toolkit/imagecontrol.h"
#include "toolkit/shaperect.h"

namespace clipora {

int LoadcutResizeHost::picwidth() const
{
    return window_.picwidth;
}

int LoadcutResizeHost::picheight() const
{
    return window_.picheight;
}

const Bitmap24& LoadcutResizeHost::workbmp() const
{
    return window_.workbmp;
}

void LoadcutResizeHost::display(const Bitmap24& bitmap)
{
    window_.mainimage->setBitmap(bitmap);
}

bool LoadcutResizeHost::displays(const Bitmap24& bitmap) const
{
    const Bitmap24& shown = window_.mainimage->picture().pixels;
    if (shown.width() != bitmap.width() || shown.height() != bitmap.height())
        return false;
    for (int y = 0; y < bitmap.height(); ++y)
        if (!std::equal(bitmap.row(y), bitmap.row(y) + 3 * bitmap.width(), shown.row(y)))
            return false;
    return true;
}

void LoadcutResizeHost::loaded()
{
    window_.loaded();
}

void LoadcutResizeHost::areareset()
{
    window_.areareset();
}

void LoadcutResizeHost::setMarkerVisible(bool visible)
{
    window_.shot->setVisible(visible);
}

}  // namespace clipora
