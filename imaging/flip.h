#pragma once
// The two flips of a whole picture.

#include "imaging/bitmap24.h"

namespace clipora {

// A new bitmap of the same size holding `source` mirrored left to right:
// pixel (x, y) of the result is pixel (width - 1 - x, y) of the source.
// Rows are walked top to bottom and only their 3 * width pixel bytes are
// read or written; the result's padding bytes are left as they were made.
Bitmap24 mirroredLeftRight(const Bitmap24& source);
// A new bitmap of the same size holding `source` upside down: pixel
// (x, height - 1 - y) of the result is pixel (x, y) of the source.
Bitmap24 mirroredUpsideDown(const Bitmap24& source);

}  // namespace clipora
