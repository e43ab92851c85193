#pragma once
// The platform's picture readers: one entry point that reads a picture file
// by its extension (letter case ignored, content not sniffed).

#include <string>

class QImage;

#include "imaging/codecs.h"
#include "imaging/cut.h"
#include "imaging/paths.h"
#include "imaging/picture.h"

namespace clipora {

// Reads the picture file at `path`: jpg/jpeg, gif, png, webp, avif,
// heic/heif and tif/tiff through the codecs, bmp and ico through Qt's readers. Throws ImagingError with the
// user's message: an unsupported extension, a file that cannot be opened,
// or content that is not a valid picture of its kind.
Picture readPictureFile(const std::string& path);

// The cut area of the picture file at `path` on white: the same pixels as
// cutting it out of flattenPicture(readPictureFile(path)), and the same
// errors. JPEG and PNG files are decoded only as far as the area needs (see
// decodeJpegArea); other kinds are read whole. When the area does not lie
// inside the picture, `pixels` is empty and the picture's size is given.
struct FlattenedArea {
    Bitmap24 pixels;
    int pictureWidth = 0;
    int pictureHeight = 0;
};
FlattenedArea readFlattenedArea(const std::string& path, const CutArea& area);

// A picture from a Qt image: its pixels and, when it has an alpha channel
// that is not opaque everywhere, its transparency. Throws ImagingError for a
// picture over the size limits.
Picture pictureFromImage(const QImage& image, PictureKind kind);

// The bitmap and icon readers on a file already in memory.
Picture readBmp(ByteView file);
Picture readIco(ByteView file);

}  // namespace clipora
