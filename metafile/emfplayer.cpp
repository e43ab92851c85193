// Enhanced metafiles (EMF): the header and the records, played through the
// canvas. EMF+ records inside comments are passed over: files that carry
// them ("dual" files) draw everything with plain records as well.

#include <QImage>

#include <algorithm>
#include <cmath>
#include <string>
#include <variant>

#include "imaging/errors.h"
#include "imaging/limits.h"
#include "metafile.h"
#include "metafilecanvas.h"
#include "metafiledata.h"
#include "metafiletext.h"

namespace clipora {

namespace {

using namespace metafile;

constexpr std::uint32_t emfSignature = 0x464D4520;  // " EMF"
// Entries of a user pen style kept: more than any drawing program writes
// (GDI itself takes at most 16); a longer list is cut, never refused.
constexpr std::size_t maxDashEntries = 64;
// Rows a set-bits-to-device record may name: far more than any picture may
// have (the picture limits stop them first), and within int.
constexpr std::uint32_t maxBandRows = 1u << 30;
// The top bit of an object index names a stock object.
constexpr std::uint32_t stockObject = 0x80000000u;
// Graphics mode 2 (GM_ADVANCED): text follows the world transform.
constexpr std::uint32_t gmAdvanced = 2;

using Object = std::variant<std::monostate, Pen, Brush, Font, Palette>;

enum Record : std::uint32_t {
    emrHeader = 1,
    emrPolyBezier = 2,
    emrPolygon = 3,
    emrPolyline = 4,
    emrPolyBezierTo = 5,
    emrPolylineTo = 6,
    emrPolyPolyline = 7,
    emrPolyPolygon = 8,
    emrSetWindowExtEx = 9,
    emrSetWindowOrgEx = 10,
    emrSetViewportExtEx = 11,
    emrSetViewportOrgEx = 12,
    emrEof = 14,
    emrSetPixelV = 15,
    emrSetMapMode = 17,
    emrSetBkMode = 18,
    emrSetPolyFillMode = 19,
    emrSetRop2 = 20,
    emrSetStretchBltMode = 21,
    emrSetTextAlign = 22,
    emrSetTextColor = 24,
    emrSetBkColor = 25,
    emrOffsetClipRgn = 26,
    emrMoveToEx = 27,
    emrSetMetaRgn = 28,
    emrExcludeClipRect = 29,
    emrIntersectClipRect = 30,
    emrScaleViewportExtEx = 31,
    emrScaleWindowExtEx = 32,
    emrSaveDc = 33,
    emrRestoreDc = 34,
    emrSetWorldTransform = 35,
    emrModifyWorldTransform = 36,
    emrSelectObject = 37,
    emrCreatePen = 38,
    emrCreateBrushIndirect = 39,
    emrDeleteObject = 40,
    emrAngleArc = 41,
    emrEllipse = 42,
    emrRectangle = 43,
    emrRoundRect = 44,
    emrArc = 45,
    emrChord = 46,
    emrPie = 47,
    emrSelectPalette = 48,
    emrCreatePalette = 49,
    emrSetPaletteEntries = 50,
    emrResizePalette = 51,
    emrLineTo = 54,
    emrArcTo = 55,
    emrPolyDraw = 56,
    emrSetArcDirection = 57,
    emrBeginPath = 59,
    emrEndPath = 60,
    emrCloseFigure = 61,
    emrFillPath = 62,
    emrStrokeAndFillPath = 63,
    emrStrokePath = 64,
    emrFlattenPath = 65,
    emrWidenPath = 66,
    emrSelectClipPath = 67,
    emrAbortPath = 68,
    emrFillRgn = 71,
    emrFrameRgn = 72,
    emrInvertRgn = 73,
    emrPaintRgn = 74,
    emrExtSelectClipRgn = 75,
    emrBitBlt = 76,
    emrStretchBlt = 77,
    emrMaskBlt = 78,
    emrPlgBlt = 79,
    emrSetDiBitsToDevice = 80,
    emrStretchDiBits = 81,
    emrExtCreateFontIndirectW = 82,
    emrExtTextOutA = 83,
    emrExtTextOutW = 84,
    emrPolyBezier16 = 85,
    emrPolygon16 = 86,
    emrPolyline16 = 87,
    emrPolyBezierTo16 = 88,
    emrPolylineTo16 = 89,
    emrPolyPolyline16 = 90,
    emrPolyPolygon16 = 91,
    emrPolyDraw16 = 92,
    emrCreateMonoBrush = 93,
    emrCreateDibPatternBrushPt = 94,
    emrExtCreatePen = 95,
    emrPolyTextOutA = 96,
    emrPolyTextOutW = 97,
    emrSmallTextOut = 108,
    emrAlphaBlend = 114,
    emrTransparentBlt = 116,
    emrGradientFill = 118,
};

constexpr int etoNoRect = 0x100;
constexpr int etoSmallChars = 0x200;

struct Header {
    QRect bounds;  // device units, inclusive
    QRect frame;   // 0.01 mm, inclusive
    std::size_t handles = 0;
    double unitsPerMmX = 0, unitsPerMmY = 0;
};

QRect readRect(const Data& d, std::size_t at)
{
    return QRect(QPoint(d.i32(at), d.i32(at + 4)), QPoint(d.i32(at + 8), d.i32(at + 12)));
}

QRectF readBox(const Data& d, std::size_t at)
{
    return QRectF(QPointF(d.i32(at), d.i32(at + 4)), QPointF(d.i32(at + 8), d.i32(at + 12)));
}

QPointF readPoint(const Data& d, std::size_t at)
{
    return QPointF(d.i32(at), d.i32(at + 4));
}

QTransform readXform(const Data& d, std::size_t at)
{
    return QTransform(d.f32(at), d.f32(at + 4), d.f32(at + 8), d.f32(at + 12), d.f32(at + 16), d.f32(at + 20));
}

Header readHeader(const Data& file)
{
    file.need(0, 88);
    const std::uint32_t size = file.u32(4);
    if (file.u32(0) != emrHeader || size < 88 || size > file.size() || file.u32(40) != emfSignature)
        invalidMetafile();
    Header h;
    h.bounds = readRect(file, 8);
    h.frame = readRect(file, 24);
    h.handles = file.u16(56);
    const double deviceX = file.i32(72), deviceY = file.i32(76);
    double mmX = file.i32(80), mmY = file.i32(84);
    if (size >= 108 && file.i32(100) > 0 && file.i32(104) > 0) {
        mmX = file.i32(100) / 1000.0;  // micrometres, more exact
        mmY = file.i32(104) / 1000.0;
    }
    if (deviceX > 0 && deviceY > 0 && mmX > 0 && mmY > 0) {
        h.unitsPerMmX = deviceX / mmX;
        h.unitsPerMmY = deviceY / mmY;
    } else {
        h.unitsPerMmX = h.unitsPerMmY = 96 / 25.4;
    }
    return h;
}

class EmfPlayer {
public:
    EmfPlayer(const Data& file, const Header& header, Canvas& canvas)
        : file_(file), canvas_(canvas), objects_(std::min(header.handles, maxObjects))
    {
    }

    void play()
    {
        std::size_t at = 0;
        while (true) {
            file_.need(at, 8);
            const std::uint32_t type = file_.u32(at);
            const std::uint32_t size = file_.u32(at + 4);
            if (size < 8 || size > file_.size() - at)
                invalidMetafile();
            if (at == 0) {
                if (type != emrHeader)
                    invalidMetafile();
            } else if (type == emrEof) {
                return;
            } else {
                record(type, file_.sub(at, size));
            }
            at += size;
        }
    }

private:
    DcState& dc() { return canvas_.state(); }
    QColor colour(const Data& r, std::size_t at) { return colourFromRef(r.u32(at), dc().palette); }

    static QPolygonF points(const Data& r, std::size_t at, std::size_t count, bool small)
    {
        r.need(at, count * (small ? 4 : 8));
        QPolygonF out;
        out.reserve(static_cast<qsizetype>(count));
        for (std::size_t i = 0; i < count; ++i) {
            if (small)
                out << QPointF(r.i16(at + 4 * i), r.i16(at + 4 * i + 2));
            else
                out << QPointF(r.i32(at + 8 * i), r.i32(at + 8 * i + 4));
        }
        return out;
    }
    static std::vector<QPolygonF> polyPoints(const Data& r, bool small)
    {
        const std::size_t polygons = r.u32(24), total = r.u32(28);
        r.need(32, static_cast<std::uint64_t>(polygons) * 4);
        std::size_t at = 32 + polygons * 4, used = 0;
        std::vector<QPolygonF> out;
        out.reserve(polygons);
        for (std::size_t i = 0; i < polygons; ++i) {
            const std::size_t count = r.u32(32 + 4 * i);
            if (count > total - used)
                invalidMetafile();
            used += count;
            out.push_back(points(r, at, count, small));
            at += count * (small ? 4 : 8);
        }
        return out;
    }

    // The record table, in four parts; each returns whether it knew the record.
    void record(std::uint32_t type, const Data& r);
    bool stateRecord(std::uint32_t type, const Data& r);
    bool shapeRecord(std::uint32_t type, const Data& r);
    bool objectRecord(std::uint32_t type, const Data& r);
    bool pictureRecord(std::uint32_t type, const Data& r);

    // Decoders of the records that take more than a call.
    void polyDraw(const Data& r, bool small);
    void createPen(const Data& r);
    void extCreatePen(const Data& r);
    void createBrush(const Data& r);
    void createPatternBrush(const Data& r, std::uint32_t type);
    void createFont(const Data& r);
    void createPalette(const Data& r);
    void selectPalette(const Data& r);
    void setPaletteEntries(const Data& r);
    void resizePalette(const Data& r);
    Palette* palette(std::uint32_t index)
    {
        return index < objects_.size() ? std::get_if<Palette>(&objects_[index]) : nullptr;
    }
    const Brush* brush(std::uint32_t index) const
    {
        return index < objects_.size() ? std::get_if<Brush>(&objects_[index]) : nullptr;
    }
    void polyTextOut(const Data& r, bool wide);
    void smallTextOut(const Data& r);
    void plgBlt(const Data& r);
    void alphaBlend(const Data& r);
    void transparentBlt(const Data& r);
    void gradientFill(const Data& r);
    void extSelectClipRegion(const Data& r);
    void fillRegion(const Data& r);
    void frameRegion(const Data& r);
    Object* slot(std::uint32_t index)
    {
        if (index == 0 || index >= maxObjects)
            return nullptr;
        if (index >= objects_.size())
            objects_.resize(index + 1);
        return &objects_[index];
    }
    void store(std::uint32_t index, Object object)
    {
        if (Object* s = slot(index))
            *s = std::move(object);
    }
    void selectObject(std::uint32_t index);
    void selectStock(std::uint32_t which);
    Dib bitmap(const Data& r, std::size_t offBmi, std::size_t cbBmi, std::size_t offBits, std::size_t cbBits,
               int usage, bool keepAlpha = false, DibBand band = {})
    {
        return decodeDib(budget_, r.sub(r.u32(offBmi), r.u32(cbBmi)), r.sub(r.u32(offBits), r.u32(cbBits)), usage,
                         dc().palette, keepAlpha, band);
    }
    Region region(const Data& r, std::size_t at, std::size_t size);
    void text(const Data& r, std::size_t emrText, bool wide, bool advanced);
    void blit(const Data& r, std::uint32_t type);

    Data file_;
    Canvas& canvas_;
    std::vector<Object> objects_;
    std::uint32_t selectedPalette_ = 0;
    DibBudget budget_;
};

void EmfPlayer::selectStock(std::uint32_t which)
{
    auto solid = [](int grey) {
        Brush b;
        b.colour = QColor(grey, grey, grey);
        return b;
    };
    auto pen = [](int grey, int style) {
        Pen p;
        p.colour = QColor(grey, grey, grey);
        p.style = style;
        return p;
    };
    switch (which) {
    case 0: dc().brush = solid(255); break;
    case 1: dc().brush = solid(192); break;
    case 2: dc().brush = solid(128); break;
    case 3: dc().brush = solid(64); break;
    case 4: dc().brush = solid(0); break;
    case 5: dc().brush.style = bsNull; break;
    case 6: dc().pen = pen(255, psSolid); break;
    case 7: dc().pen = pen(0, psSolid); break;
    case 8: dc().pen = pen(0, psNull); break;
    case 10: case 11: case 12: case 13: case 14: case 16: case 17: {
        Font f;
        f.height = -12;
        f.pitchAndFamily = (which == 10 || which == 11 || which == 16) ? 0x31 : 0x22;
        dc().font = f;
        break;
    }
    case 15: dc().palette.clear(); break;
    case 18: dc().brush = solid(255); break;
    case 19: dc().pen = pen(0, psSolid); break;
    default: break;
    }
}

void EmfPlayer::selectObject(std::uint32_t index)
{
    if (index & stockObject) {
        selectStock(index & ~stockObject);
        return;
    }
    if (index >= objects_.size())
        return;
    const Object& o = objects_[index];
    if (const auto* p = std::get_if<Pen>(&o))
        dc().pen = *p;
    else if (const auto* b = std::get_if<Brush>(&o))
        dc().brush = *b;
    else if (const auto* f = std::get_if<Font>(&o))
        dc().font = *f;
}

Region EmfPlayer::region(const Data& r, std::size_t at, std::size_t size)
{
    const Data data = r.sub(at, size);
    const std::size_t count = data.u32(8);
    const std::size_t headerSize = data.u32(0);
    if (headerSize < 32)
        invalidMetafile();
    data.need(headerSize, static_cast<std::uint64_t>(count) * 16);
    Region out;
    out.rects.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
        out.rects.push_back(readBox(data, headerSize + 16 * i));
    return out;
}

void EmfPlayer::text(const Data& r, std::size_t e, bool wide, bool advanced)
{
    TextRun run;
    run.reference = readPoint(r, e);
    const std::size_t count = r.u32(e + 8);
    const std::size_t offString = r.u32(e + 12);
    run.options = static_cast<int>(r.u32(e + 16));
    std::size_t offDxAt = e + 36;
    if (run.options & etoNoRect) {
        offDxAt = e + 20;
    } else {
        run.rect = readBox(r, e + 20);
    }
    const std::size_t offDx = r.u32(offDxAt);
    std::vector<int> firstByte;
    if (wide) {
        const Data chars = r.sub(offString, static_cast<std::uint64_t>(count) * 2);
        std::u16string units(count, u'\0');
        for (std::size_t i = 0; i < count; ++i)
            units[i] = static_cast<char16_t>(chars.u16(2 * i));
        run.text = QString::fromUtf16(units.data(), static_cast<qsizetype>(count));
    } else {
        const Data chars = r.sub(offString, count);
        DecodedText decoded = decodeCharset(dc().font.charset, chars.bytes(), count);
        run.text = decoded.text;
        firstByte = std::move(decoded.firstByte);
    }
    const bool pairs = run.options & etoPdy;
    if (offDx != 0 && count > 0) {
        const Data dx = r.sub(offDx, static_cast<std::uint64_t>(count) * (pairs ? 8 : 4));
        std::vector<double> perChar(count), rises(pairs ? count : 0);
        for (std::size_t i = 0; i < count; ++i) {
            perChar[i] = dx.i32(i * (pairs ? 8 : 4));
            if (pairs)
                rises[i] = dx.i32(i * 8 + 4);
        }
        if (wide) {
            run.advances = std::move(perChar);
            run.rises = std::move(rises);
        } else {
            run.advances = advancesPerUnit(DecodedText{run.text, std::move(firstByte)}, perChar);
        }
    }
    run.advancedMode = advanced;
    canvas_.textOut(run);
}

void EmfPlayer::blit(const Data& r, std::uint32_t type)
{
    Blit b;
    Dib source, mask;
    QImage maskImage;
    switch (type) {
    case emrBitBlt:
    case emrStretchBlt:
    case emrMaskBlt: {
        b.destination = QRectF(r.i32(24), r.i32(28), r.i32(32), r.i32(36));
        b.rop = r.u32(40);
        const QPointF origin = readPoint(r, 44);
        QSizeF size = b.destination.size();
        if (type == emrStretchBlt)
            size = QSizeF(r.i32(100), r.i32(104));
        const QTransform xform = readXform(r, 52);
        b.sourceRect = QRectF(origin, size);
        if (xform.isInvertible() && xform.type() <= QTransform::TxScale && std::isfinite(xform.m11()) &&
            std::isfinite(xform.m22()) && std::isfinite(xform.dx()) && std::isfinite(xform.dy()))
            b.sourceRect = xform.mapRect(b.sourceRect);
        if (r.u32(88) != 0)
            source = bitmap(r, 84, 88, 92, 96, static_cast<int>(r.u32(80)));
        if (type == emrMaskBlt) {
            // Foreground operation where the mask is set, background one where not.
            b.ropBackground = ((b.rop >> 24) & 0xff) << 16;
            b.rop &= 0x00ffffff;
            if (r.u32(116) != 0) {
                mask = bitmap(r, 112, 116, 120, 124, static_cast<int>(r.u32(108)));
                maskImage = mask.image;
                b.mask = &maskImage;
                b.maskOrigin = readPoint(r, 100);
            }
        }
        break;
    }
    case emrStretchDiBits: {
        b.destination = QRectF(r.i32(24), r.i32(28), r.i32(72), r.i32(76));
        b.sourceRect = QRectF(r.i32(32), r.i32(36), r.i32(40), r.i32(44));
        b.rop = r.u32(68);
        if (r.u32(52) != 0) {
            source = bitmap(r, 48, 52, 56, 60, static_cast<int>(r.u32(64)));
            // Source rectangles of bottom-up bitmaps count from the bottom row.
            if (source.bottomUp)
                b.sourceRect.moveTop(source.image.height() - b.sourceRect.top() - b.sourceRect.height());
        }
        break;
    }
    case emrSetDiBitsToDevice: {
        if (r.u32(52) == 0)
            return;
        const DibBand band{static_cast<int>(r.u32(68)), static_cast<int>(std::min(r.u32(72), maxBandRows))};
        source = bitmap(r, 48, 52, 56, 60, static_cast<int>(r.u32(64)), false, band);
        const double width = r.i32(40), height = r.i32(44);
        // The size is in device units, whatever the mapping.
        const QTransform toDevice = dc().world * canvas_.pageToDevice();
        const double sx = std::hypot(toDevice.m11(), toDevice.m12()), sy = std::hypot(toDevice.m21(), toDevice.m22());
        b.destination = QRectF(readPoint(r, 24), QSizeF(sx > 0 ? width / sx : width, sy > 0 ? height / sy : height));
        b.sourceRect = QRectF(r.i32(32), r.i32(36), width, height);
        if (source.bottomUp)
            b.sourceRect.moveTop(source.image.height() - b.sourceRect.top() - b.sourceRect.height());
        break;
    }
    default: return;
    }
    if (!source.image.isNull())
        b.source = &source.image;
    canvas_.blit(b);
}

void EmfPlayer::record(std::uint32_t type, const Data& r)
{
    // Records not known to any part are comments (EMF+ among them), colour
    // management, flood fill and others we do not draw.
    if (!stateRecord(type, r) && !shapeRecord(type, r) && !objectRecord(type, r))
        pictureRecord(type, r);
}

bool EmfPlayer::stateRecord(std::uint32_t type, const Data& r)
{
    switch (type) {
    case emrSaveDc: canvas_.saveDc(); break;
    case emrRestoreDc: canvas_.restoreDc(r.i32(8)); break;
    case emrSetMapMode: canvas_.setMapMode(static_cast<int>(r.u32(8))); break;
    case emrSetWindowExtEx: canvas_.setWindowExt(QSizeF(r.i32(8), r.i32(12))); break;
    case emrSetWindowOrgEx: canvas_.setWindowOrg(readPoint(r, 8)); break;
    case emrSetViewportExtEx: canvas_.setViewportExt(QSizeF(r.i32(8), r.i32(12))); break;
    case emrSetViewportOrgEx: canvas_.setViewportOrg(readPoint(r, 8)); break;
    case emrScaleViewportExtEx: canvas_.scaleViewportExt(r.i32(8), r.i32(12), r.i32(16), r.i32(20)); break;
    case emrScaleWindowExtEx: canvas_.scaleWindowExt(r.i32(8), r.i32(12), r.i32(16), r.i32(20)); break;
    case emrSetWorldTransform: canvas_.setWorldTransform(readXform(r, 8)); break;
    case emrModifyWorldTransform: canvas_.modifyWorldTransform(readXform(r, 8), static_cast<int>(r.u32(32))); break;
    case emrSetBkMode: dc().bkMode = static_cast<int>(r.u32(8)); break;
    case emrSetPolyFillMode: dc().fillMode = static_cast<int>(r.u32(8)); break;
    case emrSetRop2: dc().rop2 = static_cast<int>(std::clamp<std::uint32_t>(r.u32(8), 1, 16)); break;
    case emrSetStretchBltMode: dc().stretchMode = static_cast<int>(r.u32(8)); break;
    case emrSetTextAlign: dc().textAlign = static_cast<int>(r.u32(8)); break;
    case emrSetTextColor: dc().textColour = colour(r, 8); break;
    case emrSetBkColor: dc().bkColour = colour(r, 8); break;
    case emrSetArcDirection: dc().arcDirection = static_cast<int>(r.u32(8)); break;
    case emrExtSelectClipRgn: extSelectClipRegion(r); break;
    case emrIntersectClipRect: canvas_.intersectClipRect(readBox(r, 8)); break;
    case emrExcludeClipRect: canvas_.excludeClipRect(readBox(r, 8)); break;
    case emrOffsetClipRgn: canvas_.offsetClip(readPoint(r, 8)); break;
    case emrSetMetaRgn: canvas_.setMetaRegion(); break;
    default: return false;
    }
    return true;
}

bool EmfPlayer::shapeRecord(std::uint32_t type, const Data& r)
{
    const bool small = type >= emrPolyBezier16 && type <= emrPolyDraw16;  // 16-bit points
    switch (type) {
    case emrMoveToEx: canvas_.moveTo(readPoint(r, 8)); break;
    case emrLineTo: canvas_.lineTo(readPoint(r, 8)); break;
    case emrSetPixelV: canvas_.setPixel(readPoint(r, 8), colour(r, 16)); break;
    case emrRectangle: canvas_.rectangle(readBox(r, 8)); break;
    case emrEllipse: canvas_.ellipse(readBox(r, 8)); break;
    case emrRoundRect: canvas_.roundRect(readBox(r, 8), QSizeF(r.i32(24), r.i32(28))); break;
    case emrArc: canvas_.arc(readBox(r, 8), readPoint(r, 24), readPoint(r, 32)); break;
    case emrArcTo: canvas_.arcTo(readBox(r, 8), readPoint(r, 24), readPoint(r, 32)); break;
    case emrChord: canvas_.chord(readBox(r, 8), readPoint(r, 24), readPoint(r, 32)); break;
    case emrPie: canvas_.pie(readBox(r, 8), readPoint(r, 24), readPoint(r, 32)); break;
    case emrAngleArc: canvas_.angleArc(readPoint(r, 8), r.u32(16), r.f32(20), r.f32(24)); break;
    case emrPolyBezier:
    case emrPolyBezier16: canvas_.polyBezier(points(r, 28, r.u32(24), small)); break;
    case emrPolygon:
    case emrPolygon16: canvas_.polygon(points(r, 28, r.u32(24), small)); break;
    case emrPolyline:
    case emrPolyline16: canvas_.polyline(points(r, 28, r.u32(24), small)); break;
    case emrPolyBezierTo:
    case emrPolyBezierTo16: canvas_.polyBezierTo(points(r, 28, r.u32(24), small)); break;
    case emrPolylineTo:
    case emrPolylineTo16: canvas_.polylineTo(points(r, 28, r.u32(24), small)); break;
    case emrPolyPolyline:
    case emrPolyPolyline16: canvas_.polyPolyline(polyPoints(r, small)); break;
    case emrPolyPolygon:
    case emrPolyPolygon16: canvas_.polyPolygon(polyPoints(r, small)); break;
    case emrPolyDraw:
    case emrPolyDraw16: polyDraw(r, small); break;
    case emrBeginPath: canvas_.beginPath(); break;
    case emrEndPath: canvas_.endPath(); break;
    case emrCloseFigure: canvas_.closeFigure(); break;
    case emrFillPath: canvas_.fillPath(); break;
    case emrStrokeAndFillPath: canvas_.strokeAndFillPath(); break;
    case emrStrokePath: canvas_.strokePath(); break;
    case emrWidenPath: canvas_.widenPath(); break;
    case emrSelectClipPath: canvas_.selectClipPath(static_cast<int>(r.u32(8))); break;
    case emrAbortPath: canvas_.abortPath(); break;
    case emrFlattenPath: break;  // curves stay curves; drawing is the same
    default: return false;
    }
    return true;
}

bool EmfPlayer::objectRecord(std::uint32_t type, const Data& r)
{
    switch (type) {
    case emrCreatePen: createPen(r); break;
    case emrExtCreatePen: extCreatePen(r); break;
    case emrCreateBrushIndirect: createBrush(r); break;
    case emrCreateMonoBrush:
    case emrCreateDibPatternBrushPt: createPatternBrush(r, type); break;
    case emrExtCreateFontIndirectW: createFont(r); break;
    case emrCreatePalette: createPalette(r); break;
    case emrSelectPalette: selectPalette(r); break;
    case emrSetPaletteEntries: setPaletteEntries(r); break;
    case emrResizePalette: resizePalette(r); break;
    case emrSelectObject: selectObject(r.u32(8)); break;
    case emrDeleteObject: store(r.u32(8), std::monostate{}); break;
    default: return false;
    }
    return true;
}

bool EmfPlayer::pictureRecord(std::uint32_t type, const Data& r)
{
    switch (type) {
    case emrExtTextOutA: text(r, 36, false, r.u32(24) == gmAdvanced); break;
    case emrExtTextOutW: text(r, 36, true, r.u32(24) == gmAdvanced); break;
    case emrPolyTextOutA: polyTextOut(r, false); break;
    case emrPolyTextOutW: polyTextOut(r, true); break;
    case emrSmallTextOut: smallTextOut(r); break;
    case emrBitBlt:
    case emrStretchBlt:
    case emrMaskBlt:
    case emrStretchDiBits:
    case emrSetDiBitsToDevice: blit(r, type); break;
    case emrPlgBlt: plgBlt(r); break;
    case emrAlphaBlend: alphaBlend(r); break;
    case emrTransparentBlt: transparentBlt(r); break;
    case emrGradientFill: gradientFill(r); break;
    case emrFillRgn: fillRegion(r); break;
    case emrFrameRgn: frameRegion(r); break;
    case emrInvertRgn: canvas_.invertRegion(canvas_.pixelRegion(region(r, 28, r.u32(24)), true)); break;
    case emrPaintRgn: canvas_.fillRegion(canvas_.pixelRegion(region(r, 28, r.u32(24)), true), dc().brush); break;
    default: return false;
    }
    return true;
}

// Shapes

void EmfPlayer::polyDraw(const Data& r, bool small)
{
    const std::size_t count = r.u32(24);
    const QPolygonF pts = points(r, 28, count, small);
    const Data types = r.sub(28 + count * (small ? 4 : 8), count);
    canvas_.polyDraw(pts, std::vector<std::uint8_t>(types.bytes(), types.bytes() + count));
}

// Objects: pens, brushes, fonts, palettes

void EmfPlayer::createPen(const Data& r)
{
    Pen pen;
    pen.style = static_cast<int>(r.u32(12));
    pen.width = std::abs(static_cast<double>(r.i32(16)));
    pen.colour = colour(r, 24);
    store(r.u32(8), pen);
}

void EmfPlayer::extCreatePen(const Data& r)
{
    Pen pen;
    const std::uint32_t style = r.u32(28);
    pen.style = static_cast<int>(style & 0xffff);
    // Cosmetic pens are one pixel wide; geometric ones have a logical width.
    pen.width = (style & psGeometric) ? r.u32(32) : 0;
    pen.colour = colour(r, 40);
    if (r.u32(36) == bsNull)
        pen.style = (pen.style & ~psStyleMask) | psNull;
    const std::size_t entries = r.u32(48);
    r.need(52, static_cast<std::uint64_t>(entries) * 4);
    for (std::size_t i = 0; i < entries && i < maxDashEntries; ++i)
        pen.dashes.push_back(r.u32(52 + 4 * i));
    store(r.u32(8), pen);
}

void EmfPlayer::createBrush(const Data& r)
{
    Brush brush;
    brush.style = styleWithoutPattern(static_cast<int>(r.u32(12)));
    brush.colour = colour(r, 16);
    brush.hatch = static_cast<int>(r.u32(20));
    store(r.u32(8), brush);
}

void EmfPlayer::createPatternBrush(const Data& r, std::uint32_t type)
{
    Brush brush;
    brush.style = type == emrCreateMonoBrush ? bsPattern : bsDibPatternPt;
    brush.pattern = std::make_shared<Dib>(bitmap(r, 16, 20, 24, 28, static_cast<int>(r.u32(12))));
    store(r.u32(8), brush);
}

void EmfPlayer::createFont(const Data& r)
{
    Font f;
    f.height = r.i32(12);
    f.width = r.i32(16);
    f.escapement = r.i32(20);
    f.weight = r.i32(28);
    f.italic = r.u8(32);
    f.underline = r.u8(33);
    f.strikeOut = r.u8(34);
    f.charset = r.u8(35);
    f.pitchAndFamily = r.u8(39);
    // The face name: up to 32 UTF-16 units, ended by a zero.
    std::u16string face;
    for (std::size_t i = 0; i < 32 && r.has(40 + 2 * i, 2) && r.u16(40 + 2 * i) != 0; ++i)
        face.push_back(static_cast<char16_t>(r.u16(40 + 2 * i)));
    f.face = QString::fromStdU16String(face);
    store(r.u32(8), f);
}

void EmfPlayer::createPalette(const Data& r)
{
    store(r.u32(8), readPaletteEntries(r, 16, r.u16(14)));
}

void EmfPlayer::selectPalette(const Data& r)
{
    const std::uint32_t index = r.u32(8);
    if (index & stockObject) {
        dc().palette.clear();
    } else if (const Palette* selected = palette(index)) {
        dc().palette = *selected;
        selectedPalette_ = index;
    }
}

void EmfPlayer::setPaletteEntries(const Data& r)
{
    // EMF changes a palette object; the selected one is the device's copy.
    const std::uint32_t index = r.u32(8);
    const Palette entries = readPaletteEntries(r, 20, r.u32(16));
    Palette* target = palette(index);
    if (!target)
        return;
    metafile::setPaletteEntries(*target, r.u32(12), entries);
    if (index == selectedPalette_)
        dc().palette = *target;
}

void EmfPlayer::resizePalette(const Data& r)
{
    if (Palette* target = palette(r.u32(8)))
        metafile::resizePalette(*target, r.u32(12));
}

// Text

void EmfPlayer::polyTextOut(const Data& r, bool wide)
{
    const std::size_t strings = r.u32(36);
    r.need(40, static_cast<std::uint64_t>(strings) * 40);
    for (std::size_t i = 0; i < strings; ++i)
        text(r, 40 + 40 * i, wide, r.u32(24) == gmAdvanced);
}

void EmfPlayer::smallTextOut(const Data& r)
{
    TextRun run;
    run.reference = readPoint(r, 8);
    const std::size_t count = r.u32(16);
    run.options = static_cast<int>(r.u32(20));
    run.advancedMode = r.u32(24) == gmAdvanced;
    std::size_t at = 36;
    if (!(run.options & etoNoRect)) {
        run.rect = readBox(r, 36);
        at = 52;
    }
    if (run.options & etoSmallChars) {
        const Data chars = r.sub(at, count);
        run.text = QString::fromLatin1(reinterpret_cast<const char*>(chars.bytes()), static_cast<qsizetype>(count));
    } else {
        const Data chars = r.sub(at, static_cast<std::uint64_t>(count) * 2);
        std::u16string units(count, u'\0');
        for (std::size_t i = 0; i < count; ++i)
            units[i] = static_cast<char16_t>(chars.u16(2 * i));
        run.text = QString::fromStdU16String(units);
    }
    canvas_.textOut(run);
}

// Blits

void EmfPlayer::plgBlt(const Data& r)
{
    if (r.u32(100) == 0)
        return;
    const Dib source = bitmap(r, 96, 100, 104, 108, static_cast<int>(r.u32(92)));
    Dib mask;
    if (r.u32(128) != 0)
        mask = bitmap(r, 124, 128, 132, 136, static_cast<int>(r.u32(120)));
    const QPointF corners[3] = {readPoint(r, 24), readPoint(r, 32), readPoint(r, 40)};
    canvas_.plgBlit(corners, source.image, QRectF(r.i32(48), r.i32(52), r.i32(56), r.i32(60)),
                    mask.image.isNull() ? nullptr : &mask.image, readPoint(r, 112));
}

void EmfPlayer::alphaBlend(const Data& r)
{
    if (r.u32(88) == 0)
        return;
    const std::uint32_t blend = r.u32(40);
    const bool perPixel = (blend >> 24) & 1;
    const Dib source = bitmap(r, 84, 88, 92, 96, static_cast<int>(r.u32(80)), perPixel);
    canvas_.alphaBlend(QRectF(r.i32(24), r.i32(28), r.i32(32), r.i32(36)), source.image,
                       QRectF(r.i32(44), r.i32(48), r.i32(100), r.i32(104)), static_cast<int>((blend >> 16) & 0xff),
                       perPixel);
}

void EmfPlayer::transparentBlt(const Data& r)
{
    if (r.u32(88) == 0)
        return;
    Dib source = bitmap(r, 84, 88, 92, 96, static_cast<int>(r.u32(80)));
    // Pixels of the transparent colour are left out.
    const QRgb key = colour(r, 40).rgb() & 0x00ffffffu;
    for (int y = 0; y < source.image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(source.image.scanLine(y));
        for (int x = 0; x < source.image.width(); ++x) {
            if ((row[x] & 0x00ffffffu) == key)
                row[x] = 0;
        }
    }
    Blit b;
    b.destination = QRectF(r.i32(24), r.i32(28), r.i32(32), r.i32(36));
    b.source = &source.image;
    b.sourceRect = QRectF(r.i32(44), r.i32(48), r.i32(100), r.i32(104));
    canvas_.blit(b);
}

// Gradients: rectangles (mode 0 across, 1 down) or triangles (mode 2)
// between vertices of 16-bit colour channels.

void EmfPlayer::gradientFill(const Data& r)
{
    const std::size_t vertices = r.u32(24), shapes = r.u32(28);
    const std::uint32_t mode = r.u32(32);
    r.need(36, static_cast<std::uint64_t>(vertices) * 16);
    const std::size_t objectsAt = 36 + vertices * 16;
    r.need(objectsAt, static_cast<std::uint64_t>(shapes) * (mode == 2 ? 12 : 8));
    auto vertex = [&](std::uint32_t i, QPointF& at, QColor& c) {
        if (i >= vertices)
            return false;
        const std::size_t v = 36 + 16 * static_cast<std::size_t>(i);
        at = readPoint(r, v);
        c = QColor(r.u16(v + 8) >> 8, r.u16(v + 10) >> 8, r.u16(v + 12) >> 8);
        return true;
    };
    for (std::size_t s = 0; s < shapes; ++s) {
        if (mode == 2) {
            QPointF pts[3];
            QColor colours[3];
            bool ok = true;
            for (int k = 0; k < 3; ++k)
                ok = ok && vertex(r.u32(objectsAt + 12 * s + 4 * k), pts[k], colours[k]);
            if (ok)
                canvas_.gradientTriangle(pts, colours);
        } else if (mode == 0 || mode == 1) {
            QPointF a, b;
            QColor ca, cb;
            if (vertex(r.u32(objectsAt + 8 * s), a, ca) && vertex(r.u32(objectsAt + 8 * s + 4), b, cb))
                canvas_.gradientRect(QRectF(a, b), ca, cb, mode == 1);
        }
    }
}

// Regions

void EmfPlayer::extSelectClipRegion(const Data& r)
{
    const std::size_t size = r.u32(8);
    const int mode = static_cast<int>(r.u32(12));
    if (size == 0)
        canvas_.selectClip(std::nullopt, mode);
    else
        canvas_.selectClip(canvas_.pixelRegion(region(r, 16, size), false), mode);
}

void EmfPlayer::fillRegion(const Data& r)
{
    const Region rgn = region(r, 32, r.u32(24));
    if (const Brush* b = brush(r.u32(28)))
        canvas_.fillRegion(canvas_.pixelRegion(rgn, true), *b);
}

void EmfPlayer::frameRegion(const Data& r)
{
    const Region rgn = region(r, 40, r.u32(24));
    if (const Brush* b = brush(r.u32(28)))
        canvas_.frameRegion(canvas_.pixelRegion(rgn, true), *b, QSizeF(r.i32(32), r.i32(36)));
}

}  // namespace

Picture readEmf(ByteView bytes)
{
    const Data file(bytes);
    const Header header = readHeader(file);
    // The frame in 0.01 mm gives the size; without one, the bounds in device units.
    // In double: the rectangles' corners may lie anywhere in the int range.
    double frameWidth = double(header.frame.right()) - header.frame.left();
    double frameHeight = double(header.frame.bottom()) - header.frame.top();
    double left = header.frame.left() / 100.0 * header.unitsPerMmX;
    double top = header.frame.top() / 100.0 * header.unitsPerMmY;
    if (frameWidth <= 0 || frameHeight <= 0) {
        frameWidth = (double(header.bounds.right()) - header.bounds.left() + 1) / header.unitsPerMmX * 100;
        frameHeight = (double(header.bounds.bottom()) - header.bounds.top() + 1) / header.unitsPerMmY * 100;
        left = header.bounds.left();
        top = header.bounds.top();
        if (frameWidth <= 0 || frameHeight <= 0)
            invalidMetafile();
    }
    const double width = std::round(frameWidth * 96 / 2540), height = std::round(frameHeight * 96 / 2540);
    if (!(width <= double(maxPictureSide) && height <= double(maxPictureSide)))  // NaN too
        checkPictureSize(maxPictureSide + 1, maxPictureSide + 1);
    checkPictureSize(static_cast<std::int64_t>(width), static_cast<std::int64_t>(height));
    const QSize size(std::max(1, static_cast<int>(width)), std::max(1, static_cast<int>(height)));
    DeviceSpace device;
    device.unitsPerMmX = header.unitsPerMmX;
    device.unitsPerMmY = header.unitsPerMmY;
    const double frameDeviceWidth = frameWidth / 100 * header.unitsPerMmX;
    const double frameDeviceHeight = frameHeight / 100 * header.unitsPerMmY;
    device.toPixels = QTransform::fromTranslate(-left, -top) *
                      QTransform::fromScale(size.width() / frameDeviceWidth, size.height() / frameDeviceHeight);
    Canvas canvas(size, device);
    EmfPlayer(file, header, canvas).play();
    return metafilePicture(canvas.image());
}

}  // namespace clipora
