#pragma once
// What the resize dialog uses of the main window, as an interface: the main
// window's library builds on the dialog's, so the dialog reaches the window
// only through this. The main window provides it (load/resizehost.h) and
// start-up hands it to the dialog.

#include "imaging/bitmap24.h"

namespace clipora::zoom {

class ResizeHost {
public:
    virtual ~ResizeHost() = default;

    // The size of the current picture; 0 by 0 until a picture is loaded.
    virtual int picwidth() const = 0;
    virtual int picheight() const = 0;
    // The working bitmap: a 24-bit copy of the picture, picwidth x picheight.
    virtual const Bitmap24& workbmp() const = 0;
    // The picture display takes a copy of `bitmap` and sizes itself to it.
    virtual void display(const Bitmap24& bitmap) = 0;
    // Whether the display shows exactly `bitmap` (its size and pixels).
    virtual bool displays(const Bitmap24& bitmap) const = 0;
    // The main window takes over whatever its display shows as the new
    // picture (sizes, working bitmap, rulers, fields).
    virtual void loaded() = 0;
    // The cut area becomes the whole picture.
    virtual void areareset() = 0;
    // Shows or hides the cut-area marker.
    virtual void setMarkerVisible(bool visible) = 0;
};

}  // namespace clipora::zoom
