// Cut and save, and crop in place: the command the program exists for.

#include "loadcut.h"

#include <QAction>
#include <QFile>
#include <QPushButton>

#include <algorithm>

#include "bmpfilters/bmpfilters.h"
#include "imaging/codecs.h"
#include "imaging/cut.h"
#include "imaging/errors.h"
#include "imaging/fileio.h"
#include "load/loadrules.h"
#include "toolkit/conversions.h"
#include "toolkit/dialogs.h"
#include "toolkit/editfield.h"
#include "toolkit/imagecontrol.h"
#include "toolkit/inputstate.h"

using namespace clipora;

namespace {

// Shown when the cut area has no width or no height: there is nothing to
// save or crop, and writing an empty file would look like success.
constexpr const char* kEmptyArea = "切り抜く範囲が空です";

// The save dialog's filters, in the order of its filter text.
enum class SaveFormat { Bmp = 1, Jpeg = 2, Gif = 3, Png = 4 };

SaveFormat formatForFilterIndex(int index)
{
    switch (index) {
    case 1:
        return SaveFormat::Bmp;
    case 3:
        return SaveFormat::Gif;
    case 4:
        return SaveFormat::Png;
    default:  // 2, and any index the dialog should never give
        return SaveFormat::Jpeg;
    }
}

QLatin1String extensionFor(SaveFormat format)
{
    switch (format) {
    case SaveFormat::Bmp:
        return QLatin1String(".bmp");
    case SaveFormat::Gif:
        return QLatin1String(".gif");
    case SaveFormat::Png:
        return QLatin1String(".png");
    case SaveFormat::Jpeg:
        break;
    }
    return QLatin1String(".jpg");
}

// The name with its extension (the last dot after the last '/') replaced,
// or the extension appended when it has none: photo, photo.png and photo.JPG
// all become photo.jpg; a dot in a folder's name is no extension.
QString withForcedExtension(const QString& path, QLatin1String extension)
{
    return withoutExtension(path) + extension;
}

// The JPEG quality from the field's text: a text that is not an integer is
// an error; a number outside 1..100 is taken as the nearer end.
int jpegQuality(const QString& text)
{
    return std::clamp(toIntStrict(text), 1, 100);
}

// The area as the rulers hold it now.
CutArea currentCutArea(const Tloadcut& window)
{
    return {window.xl(), window.yu(), window.xr(), window.yb()};
}

// `savebmp` exists only while the command runs, whether it ends well or not.
class SaveBitmapScope {
public:
    explicit SaveBitmapScope(std::unique_ptr<Bitmap24>& slot) : slot_(slot) {}
    ~SaveBitmapScope() { slot_.reset(); }
    SaveBitmapScope(const SaveBitmapScope&) = delete;
    SaveBitmapScope& operator=(const SaveBitmapScope&) = delete;

private:
    std::unique_ptr<Bitmap24>& slot_;
};

// Encodes `pixels`; for GIF the 24-bit bitmap `savebmp` (when it holds
// them) is released as soon as the reduced one exists.
Bytes encodeAs(SaveFormat format, const Bitmap24& pixels, std::unique_ptr<Bitmap24>& savebmp, int quality)
{
    switch (format) {
    case SaveFormat::Bmp:
        return encodeBmp(pixels);
    case SaveFormat::Png:
        return encodePng(pixels);
    case SaveFormat::Gif: {
        const Bitmap8 reduced = ReduceToStaticPalette(pixels);
        savebmp.reset();
        return encodeGif(reduced);
    }
    case SaveFormat::Jpeg:
        break;
    }
    return encodeJpeg(pixels, quality);
}

// Whether cutting `area` out of `picture` over a white canvas of the given
// size gives the picture's own pixels unchanged: the area is the whole
// canvas, the canvas is the picture's size, and no pixel is transparent.
bool cutIsThePictureItself(const Picture& picture, int canvasWidth, int canvasHeight, const CutArea& area)
{
    return area.xl == 0 && area.yu == 0 && area.xr == canvasWidth && area.yb == canvasHeight
           && picture.width() == canvasWidth && picture.height() == canvasHeight && !picture.hasTransparency();
}

// Asks for a file and writes the area there, cut out of the displayed
// picture as it shows over a white canvas of the picture's size. Nothing on
// screen changes; a failure leaves the disk as it was (no half file, an
// existing file untouched) and the open dialog's name unchanged.
void saveCutArea(Tloadcut& window, const CutArea& area)
{
    if (!window.SaveDialog1->execute())
        return;
    const QString chosen = window.SaveDialog1->fileName();
    const SaveFormat format = formatForFilterIndex(window.SaveDialog1->filterIndex());
    // The quality field is read for JPEG only: for the other formats any
    // text there does no harm.
    const int quality = format == SaveFormat::Jpeg ? jpegQuality(window.jpgq->text()) : 0;

    const SaveBitmapScope scope(window.savebmp);
    const Picture& shown = window.mainimage->picture();
    const Bitmap24* pixels = &shown.pixels;
    // The whole of an opaque picture is encoded from the picture itself,
    // without a copy. Otherwise only the area is copied out, however large
    // the picture is; pixels it leaves transparent, and any part of the area
    // outside the picture, are white.
    if (!cutIsThePictureItself(shown, window.picwidth, window.picheight, area)) {
        window.savebmp = std::make_unique<Bitmap24>(cutArea(shown, window.picwidth, window.picheight, area));
        pixels = window.savebmp.get();
    }
    const Bytes file = encodeAs(format, *pixels, window.savebmp, quality);
    const QString target = withForcedExtension(chosen, extensionFor(format));
    writeFileAtomic(QFile::encodeName(target).toStdString(), file);

    // The open dialog next starts from the name as the user gave it.
    window.OpenPictureDialog1->setFileName(chosen);
}

// Makes the area the new working picture, cut out of `workbmp`; the display
// becomes a bitmap whatever kind of file was loaded. The file, `lastfile`
// and the dialogs' names are left alone, so a reload brings the whole
// picture back.
void cropToCutArea(Tloadcut& window, const CutArea& area)
{
    Picture cropped;
    cropped.kind = PictureKind::Bitmap;
    cropped.pixels = cutArea(window.workbmp, area);
    window.mainimage->setPicture(std::move(cropped));
    window.loaded();
    window.areareset();
}

}  // namespace

void Tloadcut::savepicClick(QObject* sender)
{
    // Decided by the click, key or shortcut that sent the command; Ctrl+S
    // holds Ctrl by its nature, so it always crops.
    const bool crop = sender == cutmenu || ctrlHeld();
    const CutArea area = currentCutArea(*this);
    if (area.empty())
        throw ImagingError(kEmptyArea);
    if (crop)
        cropToCutArea(*this, area);
    else
        saveCutArea(*this, area);
}
