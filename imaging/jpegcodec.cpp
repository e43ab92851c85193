#include "codecs.h"
#include "errors.h"

namespace clipora {
Picture decodeJpeg(ByteView) { throw ImagingError("JPEG: not yet"); }
Bytes encodeJpeg(const Bitmap24&, int) { throw ImagingError("JPEG: not yet"); }
}  // namespace clipora
