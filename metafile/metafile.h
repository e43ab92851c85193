#pragma once
// Our own metafile player: Windows metafiles (WMF, with or without the
// placeable header) and enhanced metafiles (EMF) drawn record by record
// into a picture of the file's nominal size, as the platform's reader
// would draw them. Pixels the drawing leaves untouched stay transparent.
//
// Both readers need a QGuiApplication for their fonts; they run on the
// thread that owns it.

#include "imaging/codecs.h"
#include "imaging/picture.h"

namespace clipora {

namespace messages {
inline constexpr const char* invalidMetafile = "メタファイルが不正です";
inline constexpr const char* metafileTooComplex = "メタファイルの描画が多すぎます";
inline constexpr const char* metafileNeedsFonts = "メタファイルの文字を描くためのフォントが使えません";
}  // namespace messages

// A WMF file. Size: the placeable header's box in its units per inch, at
// 96 dots per inch; without that header, the extent of what is drawn (one
// unit a pixel, scaled down to fit 4096 pixels). Throws ImagingError
// ("メタファイルが不正です") for a file that is not a valid metafile, cut
// short or with a broken record; "画像が大きすぎます" for too large a size;
// "メタファイルの描画が多すぎます" when drawing it would touch more pixels than
// tens of seconds can draw (a few records can ask for endless work).
Picture readWmf(ByteView file);

// An EMF file. Size: the header's frame (in 0.01 mm) at 96 dots per inch.
// Errors as readWmf.
Picture readEmf(ByteView file);

}  // namespace clipora
