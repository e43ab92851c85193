#pragma once
// PNG written for speed rather than size, for handing a picture to another
// program (the clipboard), where the bytes live only until they are read.
// The rows are split into bands compressed side by side on several threads,
// each band a run of the one zlib stream; any PNG reader reads the result.
// Saved files keep using encodePng.

#include <atomic>

#include "imaging/bitmap24.h"
#include "imaging/codecs.h"

namespace clipora {

// The picture as a PNG (8-bit RGB, no interlace) with every row filtered by
// Sub and compressed at zlib's level 1, on up to `threads`
// threads (0: one per processor). Throws ImagingError for an empty picture.
// When `cancel` becomes true the work stops early and an empty result is
// returned.
Bytes encodePngQuickly(const Bitmap24& bitmap, int threads = 0, const std::atomic<bool>* cancel = nullptr);

}  // namespace clipora
