#include "resizehost.h"

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
