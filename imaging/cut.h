#pragma once
// Cutting the cut area out of a picture.

#include "bitmap24.h"
#include "picture.h"

namespace clipora {

// Edges in picture pixels; right and bottom are exclusive.
struct CutArea {
    int xl = 0, yu = 0, xr = 0, yb = 0;
    int width() const { return xr - xl; }
    int height() const { return yb - yu; }
    bool empty() const { return xr <= xl || yb <= yu; }
};

// The area's pixels as they would be after drawing `picture` at its own size
// onto a white canvas of canvasWidth by canvasHeight and cutting the area
// out of that canvas: transparent pixels are white, and so is every pixel
// of the area that lies outside the canvas or outside the picture. Only the
// area is touched, however large the picture. Throws ImagingError for an
// empty area.
Bitmap24 cutArea(const Picture& picture, int canvasWidth, int canvasHeight, const CutArea& area);

// The same for an opaque bitmap whose canvas is its own size.
Bitmap24 cutArea(const Bitmap24& bitmap, const CutArea& area);

}  // namespace clipora
