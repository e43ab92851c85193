#include "codecs.h"
#include "errors.h"

namespace clipora {
Picture decodeGif(ByteView) { throw ImagingError("GIF: not yet"); }
Bytes encodeGif(const Bitmap8&) { throw ImagingError("GIF: not yet"); }
}  // namespace clipora
