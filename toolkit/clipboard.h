#pragma once
// The desktop clipboard as the program sees it: pictures come and go as MIME
// types, mapped onto three kinds of picture.
//
//   bitmap   image/png, image/bmp, image/x-bmp, image/jpeg, image/webp,
//            image/avif, image/heic, image/heif, image/tiff, any other raster
//            image type Qt can read, and application/x-qt-image (what Qt
//            itself reports when the owner offers some image format)
//   GIF      image/gif, read with our GIF decoder
//   metafile image/x-wmf, image/wmf, image/x-emf, image/emf, read through
//            the reader installed with setClipboardMetafileReader
//
// Paste walks the formats in the order the clipboard reports them and reads
// the first one a kind accepts. Errors are thrown as ImagingError carrying
// the user's message; nothing here shows a message box.

#include <QString>

#include <functional>

#include "imaging/bitmap24.h"
#include "imaging/codecs.h"
#include "imaging/picture.h"

class QMimeData;

namespace clipora {

namespace messages {
inline constexpr const char* invalidClipboardFormat = "無効なクリップボード フォーマットです";
inline constexpr const char* cannotOpenClipboard = "クリップボードを開くことができません";
inline constexpr const char* clipboardMetafileUnreadable = "クリップボードのメタファイル (%s) は読み込めません";
inline constexpr const char* emptyCopyArea = "コピーする範囲が空です";
inline constexpr const char* nothingToCopy = "コピーする画像がありません";
}  // namespace messages

enum class ClipboardKind { None, Bitmap, Gif, Metafile };

// The kind of picture a clipboard format carries; None for anything else.
// MIME types are compared without regard to letter case.
ClipboardKind clipboardKindOf(const QString& mimeType);

// Reads metafile data as the clipboard holds it (WMF or EMF; `mimeType`
// says which) into a picture, or throws ImagingError with the reader's
// message.
using ClipboardMetafileReader = std::function<Picture(ByteView data, const QString& mimeType)>;
// Installs the metafile reader; an empty function removes it. Without a
// reader a metafile format is passed over for a later picture format, and
// a clipboard whose only picture is a metafile is refused with
// clipboardMetafileUnreadable.
void setClipboardMetafileReader(ClipboardMetafileReader reader);

// The picture of the first format a kind accepts. A null `data` means the
// platform refused the clipboard (cannotOpenClipboard); no accepted format
// gives invalidClipboardFormat; data that is not a valid picture of its
// kind gives the reader's message. The picture's kind is Bitmap, Gif or
// Metafile after the clipboard format it came from.
Picture pictureFromMimeData(const QMimeData* data);
// pictureFromMimeData on the system clipboard.
Picture pasteFromClipboard();

// Clipboard data holding `bitmap` as image/png, image/bmp, image/x-bmp and
// application/x-qt-image (from which Qt offers its other image types).
// Each form is made only when a reader asks for it, and then kept.
QMimeData* mimeDataForBitmap(Bitmap24 bitmap);
// Empties the system clipboard and puts `bitmap` on it. Throws
// cannotOpenClipboard when the platform does not hand the clipboard over,
// emptyCopyArea for a bitmap without pixels; the clipboard then
// stays as it was.
void copyToClipboard(Bitmap24 bitmap);

}  // namespace clipora
