// Windows metafiles (WMF): the placeable header, the metafile header and
// the records, played through the canvas.

#include <QImage>

#include <algorithm>
#include <cmath>
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

constexpr std::uint32_t placeableKey = 0x9AC6CDD7;
constexpr std::size_t placeableSize = 22;
constexpr std::size_t headerSize = 18;
// A file without its size states none: its drawn extent, at most this large.
constexpr double largestUnsizedSide = 4096;

using Object = std::variant<std::monostate, Pen, Brush, Font, Palette, Region>;

enum Function : std::uint16_t {
    metaEof = 0x0000,
    metaSaveDc = 0x001E,
    metaRealizePalette = 0x0035,
    metaSetPalEntries = 0x0037,
    metaCreatePalette = 0x00F7,
    metaSetBkMode = 0x0102,
    metaSetMapMode = 0x0103,
    metaSetRop2 = 0x0104,
    metaSetRelAbs = 0x0105,
    metaSetPolyFillMode = 0x0106,
    metaSetStretchBltMode = 0x0107,
    metaSetTextCharExtra = 0x0108,
    metaRestoreDc = 0x0127,
    metaInvertRegion = 0x012A,
    metaPaintRegion = 0x012B,
    metaSelectClipRegion = 0x012C,
    metaSelectObject = 0x012D,
    metaSetTextAlign = 0x012E,
    metaResizePalette = 0x0139,
    metaDibCreatePatternBrush = 0x0142,
    metaDeleteObject = 0x01F0,
    metaCreatePatternBrush = 0x01F9,
    metaSetBkColor = 0x0201,
    metaSetTextColor = 0x0209,
    metaSetTextJustification = 0x020A,
    metaSetWindowOrg = 0x020B,
    metaSetWindowExt = 0x020C,
    metaSetViewportOrg = 0x020D,
    metaSetViewportExt = 0x020E,
    metaOffsetWindowOrg = 0x020F,
    metaOffsetViewportOrg = 0x0211,
    metaLineTo = 0x0213,
    metaMoveTo = 0x0214,
    metaOffsetClipRgn = 0x0220,
    metaFillRegion = 0x0228,
    metaSetMapperFlags = 0x0231,
    metaSelectPalette = 0x0234,
    metaCreatePenIndirect = 0x02FA,
    metaCreateFontIndirect = 0x02FB,
    metaCreateBrushIndirect = 0x02FC,
    metaPolygon = 0x0324,
    metaPolyline = 0x0325,
    metaScaleWindowExt = 0x0410,
    metaScaleViewportExt = 0x0412,
    metaExcludeClipRect = 0x0415,
    metaIntersectClipRect = 0x0416,
    metaEllipse = 0x0418,
    metaFloodFill = 0x0419,
    metaRectangle = 0x041B,
    metaSetPixel = 0x041F,
    metaFrameRegion = 0x0429,
    metaAnimatePalette = 0x0436,
    metaTextOut = 0x0521,
    metaPolyPolygon = 0x0538,
    metaExtFloodFill = 0x0548,
    metaRoundRect = 0x061C,
    metaPatBlt = 0x061D,
    metaEscape = 0x0626,
    metaCreateRegion = 0x06FF,
    metaArc = 0x0817,
    metaPie = 0x081A,
    metaChord = 0x0830,
    metaBitBlt = 0x0922,
    metaDibBitBlt = 0x0940,
    metaExtTextOut = 0x0A32,
    metaStretchBlt = 0x0B23,
    metaDibStretchBlt = 0x0B41,
    metaSetDibToDev = 0x0D33,
    metaStretchDib = 0x0F43,
};

struct Header {
    bool placeable = false;
    QRect box;  // left, top, right, bottom of the placeable header
    int inch = 1440;
    std::size_t records = 0;  // offset of the first record
    std::size_t objects = 0;
};

Header readHeader(const Data& file)
{
    Header h;
    std::size_t at = 0;
    if (file.has(0, 4) && file.u32(0) == placeableKey) {
        file.need(0, placeableSize);
        h.placeable = true;
        const int left = file.i16(6), top = file.i16(8), right = file.i16(10), bottom = file.i16(12);
        h.box = QRect(QPoint(left, top), QPoint(right, bottom));  // corners as stored, not normalised
        h.inch = file.u16(14) ? file.u16(14) : 1440;
        at = placeableSize;
    }
    file.need(at, headerSize);
    const std::uint16_t type = file.u16(at), size = file.u16(at + 2), version = file.u16(at + 4);
    if ((type != 1 && type != 2) || size != 9 || (version != 0x0100 && version != 0x0300))
        invalidMetafile();
    h.objects = file.u16(at + 12);
    h.records = at + headerSize;
    return h;
}

class WmfPlayer {
public:
    WmfPlayer(const Data& file, const Header& header, Canvas& canvas)
        : file_(file), header_(header), canvas_(canvas), objects_(header.objects)
    {
    }

    void play()
    {
        std::size_t at = header_.records;
        while (true) {
            file_.need(at, 6);
            const std::uint64_t words = file_.u32(at);
            const std::uint16_t function = file_.u16(at + 4);
            if (words < 3 || words * 2 > file_.size() - at)
                invalidMetafile();
            if (function == metaEof)
                return;
            record(function, file_.sub(at + 6, static_cast<std::size_t>(words * 2 - 6)));
            at += static_cast<std::size_t>(words * 2);
        }
    }

private:
    DcState& dc() { return canvas_.state(); }
    QColor colour(const Data& p, std::size_t at) { return colourFromRef(p.u32(at), dc().palette); }
    static QPointF point(const Data& p, std::size_t yAt) { return QPointF(p.i16(yAt + 2), p.i16(yAt)); }
    // Four words bottom, right, top, left as a box.
    static QRectF box(const Data& p, std::size_t at)
    {
        const double bottom = p.i16(at), right = p.i16(at + 2), top = p.i16(at + 4), left = p.i16(at + 6);
        return QRectF(QPointF(left, top), QPointF(right, bottom));
    }
    static QPolygonF points(const Data& p, std::size_t at, std::size_t count)
    {
        p.need(at, count * 4);
        QPolygonF out;
        out.reserve(static_cast<qsizetype>(count));
        for (std::size_t i = 0; i < count; ++i)
            out << QPointF(p.i16(at + 4 * i), p.i16(at + 4 * i + 2));
        return out;
    }

    // The record table, in three parts; each returns whether it knew the record.
    void record(std::uint16_t function, const Data& p);
    bool stateRecord(std::uint16_t function, const Data& p);
    bool objectRecord(std::uint16_t function, const Data& p);
    bool drawingRecord(std::uint16_t function, const Data& p);
    // A placeable file is drawn to the box of its header: its viewport is the player's.
    bool ownViewport() const { return !header_.placeable; }

    // Decoders of the records that take more than a call.
    void polyPolygon(const Data& p);
    void createPen(const Data& p);
    void createBrush(const Data& p);
    void createDibPatternBrush(const Data& p);
    void createPatternBrush(const Data& p);
    void createPalette(const Data& p);
    void selectPalette(const Data& p);
    void setPaletteEntries(const Data& p);
    void deleteObject(const Data& p);
    void selectClipRegion(const Data& p);
    void fillRegion(const Data& p);
    void paintRegion(const Data& p);
    void frameRegion(const Data& p);
    void invertRegion(const Data& p);
    void simpleTextOut(const Data& p);
    void extTextOut(const Data& p);
    void patBlt(const Data& p);
    void stretchDib(const Data& p);
    void setDibToDevice(const Data& p);
    void bitBlt(std::uint16_t function, const Data& p);

    void addObject(Object object);
    void selectObject(std::size_t index);
    const Object* object(std::size_t index) const
    {
        return index < objects_.size() && !std::holds_alternative<std::monostate>(objects_[index]) ? &objects_[index]
                                                                                                     : nullptr;
    }
    const Region* region(std::size_t index) const
    {
        const Object* o = object(index);
        return o ? std::get_if<Region>(o) : nullptr;
    }
    const Brush* brush(std::size_t index) const
    {
        const Object* o = object(index);
        return o ? std::get_if<Brush>(o) : nullptr;
    }
    Font readFont(const Data& p);
    Region readRegion(const Data& p);
    void textOut(QPointF reference, const Data& string, int options, std::optional<QRectF> rect, const Data* dx);
    void dibBlit(const Dib& dib, QRectF destination, QRectF source, std::uint32_t rop, bool fromBottom);

    Data file_;
    Header header_;
    Canvas& canvas_;
    std::vector<Object> objects_;
    DibBudget budget_;
};

void WmfPlayer::addObject(Object object)
{
    // GDI puts a new object in the lowest free slot of the table.
    for (Object& slot : objects_) {
        if (std::holds_alternative<std::monostate>(slot)) {
            slot = std::move(object);
            return;
        }
    }
    if (objects_.size() < maxObjects)
        objects_.push_back(std::move(object));
}

void WmfPlayer::selectObject(std::size_t index)
{
    const Object* o = object(index);
    if (!o)
        return;
    if (const auto* pen = std::get_if<Pen>(o))
        dc().pen = *pen;
    else if (const auto* b = std::get_if<Brush>(o))
        dc().brush = *b;
    else if (const auto* font = std::get_if<Font>(o))
        dc().font = *font;
    else if (const auto* r = std::get_if<Region>(o))
        canvas_.selectClip(canvas_.pixelRegion(*r, true), rgnCopy);
}

Font WmfPlayer::readFont(const Data& p)
{
    Font f;
    f.height = p.i16(0);
    f.width = p.i16(2);
    f.escapement = p.i16(4);
    f.weight = p.i16(8);
    f.italic = p.u8(10);
    f.underline = p.u8(11);
    f.strikeOut = p.u8(12);
    f.charset = p.u8(13);
    f.pitchAndFamily = p.u8(17);
    // The face name: up to 32 bytes in the font's character set, ended by a zero.
    std::size_t length = 0;
    while (length < 32 && p.has(18 + length, 1) && p.u8(18 + length) != 0)
        ++length;
    f.face = decodeCharset(f.charset, p.bytes() + 18, length).text;
    return f;
}

Region WmfPlayer::readRegion(const Data& p)
{
    Region region;
    const int scans = p.i16(10);
    const QRectF bounds(QPointF(p.i16(14), p.i16(16)), QPointF(p.i16(18), p.i16(20)));
    if (scans <= 0) {
        if (!bounds.isEmpty())
            region.rects.push_back(bounds);
        return region;
    }
    std::size_t at = 22;
    for (int s = 0; s < scans; ++s) {
        const std::size_t count = p.u16(at);  // left and right values
        const double top = p.i16(at + 2), bottom = p.i16(at + 4);
        p.need(at + 6, count * 2 + 2);
        for (std::size_t i = 0; i + 1 < count; i += 2) {
            const double left = p.i16(at + 6 + 2 * i), right = p.i16(at + 8 + 2 * i);
            region.rects.emplace_back(QPointF(left, top), QPointF(right, bottom));
        }
        at += 6 + count * 2 + 2;
    }
    return region;
}

void WmfPlayer::textOut(QPointF reference, const Data& string, int options, std::optional<QRectF> rect,
                        const Data* dx)
{
    const DecodedText decoded = decodeCharset(dc().font.charset, string.bytes(), string.size());
    TextRun run;
    run.reference = reference;
    run.text = decoded.text;
    run.options = options;
    run.rect = rect;
    if (dx) {
        std::vector<double> perByte(string.size());
        for (std::size_t b = 0; b < perByte.size(); ++b)
            perByte[b] = dx->i16(2 * b);
        run.advances = advancesPerUnit(decoded, perByte);
    }
    canvas_.textOut(run);
}

void WmfPlayer::dibBlit(const Dib& dib, QRectF destination, QRectF source, std::uint32_t rop, bool fromBottom)
{
    if (dib.image.isNull())
        return;
    if (fromBottom && dib.bottomUp)
        source.moveTop(dib.image.height() - source.top() - source.height());
    Blit b;
    b.destination = destination;
    b.source = &dib.image;
    b.sourceRect = source;
    b.rop = rop;
    canvas_.blit(b);
}

void WmfPlayer::record(std::uint16_t function, const Data& p)
{
    // Records not known to any part have nothing to draw, or are not drawn by
    // us: relative/absolute mode, justification, mapper flags, realizing the
    // palette, escapes, flood fills.
    if (!stateRecord(function, p) && !objectRecord(function, p))
        drawingRecord(function, p);
}

bool WmfPlayer::stateRecord(std::uint16_t function, const Data& p)
{
    switch (function) {
    case metaSaveDc: canvas_.saveDc(); break;
    case metaRestoreDc: canvas_.restoreDc(p.i16(0)); break;
    case metaSetBkColor: dc().bkColour = colour(p, 0); break;
    case metaSetTextColor: dc().textColour = colour(p, 0); break;
    case metaSetBkMode: dc().bkMode = p.u16(0); break;
    case metaSetMapMode: canvas_.setMapMode(p.u16(0)); break;
    case metaSetRop2: dc().rop2 = std::clamp<int>(p.u16(0), 1, 16); break;
    case metaSetPolyFillMode: dc().fillMode = p.u16(0); break;
    case metaSetStretchBltMode: dc().stretchMode = p.u16(0); break;
    case metaSetTextCharExtra: dc().textCharExtra = p.i16(0); break;
    case metaSetTextAlign: dc().textAlign = p.u16(0); break;
    case metaSetWindowOrg: canvas_.setWindowOrg(point(p, 0)); break;
    case metaSetWindowExt: canvas_.setWindowExt(QSizeF(p.i16(2), p.i16(0))); break;
    case metaOffsetWindowOrg: canvas_.setWindowOrg(dc().windowOrg + point(p, 0)); break;
    case metaScaleWindowExt: canvas_.scaleWindowExt(p.i16(6), p.i16(4), p.i16(2), p.i16(0)); break;
    case metaSetViewportOrg: if (ownViewport()) canvas_.setViewportOrg(point(p, 0)); break;
    case metaSetViewportExt: if (ownViewport()) canvas_.setViewportExt(QSizeF(p.i16(2), p.i16(0))); break;
    case metaOffsetViewportOrg: if (ownViewport()) canvas_.setViewportOrg(dc().viewportOrg + point(p, 0)); break;
    case metaScaleViewportExt: if (ownViewport()) canvas_.scaleViewportExt(p.i16(6), p.i16(4), p.i16(2), p.i16(0)); break;
    case metaIntersectClipRect: canvas_.intersectClipRect(box(p, 0)); break;
    case metaExcludeClipRect: canvas_.excludeClipRect(box(p, 0)); break;
    case metaOffsetClipRgn: canvas_.offsetClip(point(p, 0)); break;
    case metaSelectClipRegion: selectClipRegion(p); break;
    default: return false;
    }
    return true;
}

bool WmfPlayer::objectRecord(std::uint16_t function, const Data& p)
{
    switch (function) {
    case metaCreatePenIndirect: createPen(p); break;
    case metaCreateBrushIndirect: createBrush(p); break;
    case metaDibCreatePatternBrush: createDibPatternBrush(p); break;
    case metaCreatePatternBrush: createPatternBrush(p); break;
    case metaCreateFontIndirect: addObject(readFont(p)); break;
    case metaCreatePalette: createPalette(p); break;
    case metaCreateRegion: addObject(readRegion(p)); break;
    case metaSelectObject: selectObject(p.u16(0)); break;
    case metaDeleteObject: deleteObject(p); break;
    case metaSelectPalette: selectPalette(p); break;
    case metaSetPalEntries:
    case metaAnimatePalette: setPaletteEntries(p); break;
    case metaResizePalette: resizePalette(dc().palette, p.u16(0)); break;
    default: return false;
    }
    return true;
}

bool WmfPlayer::drawingRecord(std::uint16_t function, const Data& p)
{
    switch (function) {
    case metaMoveTo: canvas_.moveTo(point(p, 0)); break;
    case metaLineTo: canvas_.lineTo(point(p, 0)); break;
    case metaRectangle: canvas_.rectangle(box(p, 0)); break;
    case metaEllipse: canvas_.ellipse(box(p, 0)); break;
    case metaRoundRect: canvas_.roundRect(box(p, 4), QSizeF(p.i16(2), p.i16(0))); break;
    case metaArc: canvas_.arc(box(p, 8), point(p, 4), point(p, 0)); break;
    case metaChord: canvas_.chord(box(p, 8), point(p, 4), point(p, 0)); break;
    case metaPie: canvas_.pie(box(p, 8), point(p, 4), point(p, 0)); break;
    case metaPolygon: canvas_.polygon(points(p, 2, p.u16(0))); break;
    case metaPolyline: canvas_.polyline(points(p, 2, p.u16(0))); break;
    case metaPolyPolygon: polyPolygon(p); break;
    case metaSetPixel: canvas_.setPixel(point(p, 4), colour(p, 0)); break;
    case metaTextOut: simpleTextOut(p); break;
    case metaExtTextOut: extTextOut(p); break;
    case metaFillRegion: fillRegion(p); break;
    case metaPaintRegion: paintRegion(p); break;
    case metaFrameRegion: frameRegion(p); break;
    case metaInvertRegion: invertRegion(p); break;
    case metaPatBlt: patBlt(p); break;
    case metaStretchDib: stretchDib(p); break;
    case metaSetDibToDev: setDibToDevice(p); break;
    case metaDibBitBlt:
    case metaDibStretchBlt:
    case metaBitBlt:
    case metaStretchBlt: bitBlt(function, p); break;
    default: return false;
    }
    return true;
}

// Shapes

void WmfPlayer::polyPolygon(const Data& p)
{
    const std::size_t polygons = p.u16(0);
    p.need(2, polygons * 2);
    std::vector<QPolygonF> shapes;
    std::size_t at = 2 + polygons * 2;
    for (std::size_t i = 0; i < polygons; ++i) {
        const std::size_t count = p.u16(2 + 2 * i);
        shapes.push_back(points(p, at, count));
        at += count * 4;
    }
    canvas_.polyPolygon(shapes);
}

// Objects: pens, brushes, palettes

void WmfPlayer::createPen(const Data& p)
{
    Pen pen;
    pen.style = p.u16(0);
    pen.width = std::abs(static_cast<double>(p.i16(2)));
    pen.colour = colour(p, 6);
    addObject(pen);
}

void WmfPlayer::createBrush(const Data& p)
{
    Brush b;
    b.style = styleWithoutPattern(p.u16(0));
    b.colour = colour(p, 2);
    b.hatch = p.u16(6);
    addObject(b);
}

void WmfPlayer::createDibPatternBrush(const Data& p)
{
    Brush b;
    if (p.u16(0) == bsPattern) {
        b.style = bsPattern;
        b.pattern = std::make_shared<Dib>(decodeBitmap16(budget_, p.from(4), 10));
    } else {
        b.style = bsDibPatternPt;
        b.pattern = std::make_shared<Dib>(decodePackedDib(budget_, p.from(4), p.u16(2), dc().palette));
    }
    addObject(b);
}

void WmfPlayer::createPatternBrush(const Data& p)
{
    Brush b;
    b.style = bsPattern;
    // Bitmap16 header, its unused bits pointer and 18 reserved bytes, then the rows.
    b.pattern = std::make_shared<Dib>(decodeBitmap16(budget_, p, 32));
    addObject(b);
}

void WmfPlayer::createPalette(const Data& p)
{
    addObject(readPaletteEntries(p, 4, p.u16(2)));
}

void WmfPlayer::selectPalette(const Data& p)
{
    const Object* o = object(p.u16(0));
    if (const auto* palette = o ? std::get_if<Palette>(o) : nullptr)
        dc().palette = *palette;
}

void WmfPlayer::setPaletteEntries(const Data& p)
{
    // WMF changes the selected palette itself.
    metafile::setPaletteEntries(dc().palette, p.u16(0), readPaletteEntries(p, 4, p.u16(2)));
}

void WmfPlayer::deleteObject(const Data& p)
{
    const std::size_t index = p.u16(0);
    if (index < objects_.size())
        objects_[index] = std::monostate{};
}

// Regions

void WmfPlayer::selectClipRegion(const Data& p)
{
    const Region* r = region(p.u16(0));
    canvas_.selectClip(r ? std::optional<QRegion>(canvas_.pixelRegion(*r, true)) : std::nullopt, rgnCopy);
}

void WmfPlayer::fillRegion(const Data& p)
{
    const Region* r = region(p.u16(0));
    const Brush* b = brush(p.u16(2));
    if (r && b)
        canvas_.fillRegion(canvas_.pixelRegion(*r, true), *b);
}

void WmfPlayer::paintRegion(const Data& p)
{
    if (const Region* r = region(p.u16(0)))
        canvas_.fillRegion(canvas_.pixelRegion(*r, true), dc().brush);
}

void WmfPlayer::frameRegion(const Data& p)
{
    const Region* r = region(p.u16(0));
    const Brush* b = brush(p.u16(2));
    if (r && b)
        canvas_.frameRegion(canvas_.pixelRegion(*r, true), *b, QSizeF(p.i16(6), p.i16(4)));
}

void WmfPlayer::invertRegion(const Data& p)
{
    if (const Region* r = region(p.u16(0)))
        canvas_.invertRegion(canvas_.pixelRegion(*r, true));
}

// Text

void WmfPlayer::simpleTextOut(const Data& p)
{
    const std::int16_t length = p.i16(0);
    if (length < 0)
        invalidMetafile();
    const std::size_t padded = (static_cast<std::size_t>(length) + 1) & ~std::size_t{1};
    const Data string = p.sub(2, static_cast<std::size_t>(length));
    textOut(point(p, 2 + padded), string, 0, std::nullopt, nullptr);
}

void WmfPlayer::extTextOut(const Data& p)
{
    const QPointF reference = point(p, 0);
    const std::int16_t length = p.i16(4);
    const int options = p.u16(6);
    if (length < 0)
        invalidMetafile();
    std::size_t at = 8;
    std::optional<QRectF> rect;
    if (options & (etoOpaque | etoClipped)) {
        rect = QRectF(QPointF(p.i16(8), p.i16(10)), QPointF(p.i16(12), p.i16(14)));
        at += 8;
    }
    const Data string = p.sub(at, static_cast<std::size_t>(length));
    at += (static_cast<std::size_t>(length) + 1) & ~std::size_t{1};
    // The advances are optional: a record may end after the string.
    std::optional<Data> dx;
    if (length > 0 && p.has(at, static_cast<std::size_t>(length) * 2))
        dx = p.sub(at, static_cast<std::size_t>(length) * 2);
    textOut(reference, string, options, rect, dx ? &*dx : nullptr);
}

// Blits

void WmfPlayer::patBlt(const Data& p)
{
    Blit b;
    b.rop = p.u32(0);
    b.destination = QRectF(p.i16(10), p.i16(8), p.i16(6), p.i16(4));
    canvas_.blit(b);
}

void WmfPlayer::stretchDib(const Data& p)
{
    const Dib dib = decodePackedDib(budget_, p.from(22), p.u16(4), dc().palette);
    dibBlit(dib, QRectF(p.i16(20), p.i16(18), p.i16(16), p.i16(14)), QRectF(p.i16(12), p.i16(10), p.i16(8), p.i16(6)),
            p.u32(0), true);
}

void WmfPlayer::setDibToDevice(const Data& p)
{
    // The bits hold only the band of rows the record names.
    const DibBand band{p.u16(4), p.u16(2)};
    const Dib dib = decodePackedDib(budget_, p.from(18), p.u16(0), dc().palette, false, band);
    // The size is in device units, whatever the mapping.
    const QTransform toDevice = canvas_.pageToDevice();
    const double width = p.i16(12), height = p.i16(10);
    const double sx = toDevice.m11() != 0 ? 1 / std::abs(toDevice.m11()) : 1;
    const double sy = toDevice.m22() != 0 ? 1 / std::abs(toDevice.m22()) : 1;
    const QPointF at = point(p, 14);
    dibBlit(dib, QRectF(at.x(), at.y(), width * sx, height * sy), QRectF(p.i16(8), p.i16(6), width, height), ropSrcCopy,
            true);
}

void WmfPlayer::bitBlt(std::uint16_t function, const Data& p)
{
    const bool stretch = function == metaDibStretchBlt || function == metaStretchBlt;
    const bool withDib = function == metaDibBitBlt || function == metaDibStretchBlt;
    // Without a bitmap the record has only its fixed words and one reserved.
    const std::size_t bare = (static_cast<std::size_t>(function >> 8) + 3) * 2 - 6;
    const std::uint32_t rop = p.u32(0);
    QRectF source, destination;
    std::size_t at;
    if (stretch) {
        source = QRectF(p.i16(10), p.i16(8), p.i16(6), p.i16(4));
        at = p.size() == bare ? 14 : 12;
        destination = QRectF(p.i16(at + 6), p.i16(at + 4), p.i16(at + 2), p.i16(at));
    } else {
        at = p.size() == bare ? 10 : 8;
        destination = QRectF(p.i16(at + 6), p.i16(at + 4), p.i16(at + 2), p.i16(at));
        source = QRectF(p.i16(6), p.i16(4), destination.width(), destination.height());
    }
    at += 8;
    if (p.size() == bare) {
        Blit b;
        b.rop = rop;
        b.destination = destination;
        canvas_.blit(b);
    } else if (withDib) {
        dibBlit(decodePackedDib(budget_, p.from(at), dibRgbColours, dc().palette), destination, source, rop, false);
    } else {
        const Dib bitmap = decodeBitmap16(budget_, p.from(at), 10);
        // A monochrome bitmap takes the text colour for 0 bits and the background colour for 1 bits.
        const QImage image = bitmap.recoloured(dc().textColour.rgb(), dc().bkColour.rgb());
        Blit b;
        b.destination = destination;
        b.source = &image;
        b.sourceRect = source;
        b.rop = rop;
        canvas_.blit(b);
    }
}

void initialState(Canvas& canvas, const Header& h)
{
    DcState& dc = canvas.state();
    // The player draws in anisotropic mode; until the file says otherwise
    // its window is the header's box, mapped onto the whole picture.
    dc.mapMode = mmAnisotropic;
    if (h.placeable) {
        const QPointF origin(h.box.left(), h.box.top());
        const QSizeF size(h.box.right() - h.box.left(), h.box.bottom() - h.box.top());
        dc.windowOrg = dc.viewportOrg = origin;
        dc.windowExt = dc.viewportExt = size;
    } else {
        dc.viewportFollowsWindow = true;
    }
}

}  // namespace

Picture readWmf(ByteView bytes)
{
    const Data file(bytes);
    const Header header = readHeader(file);
    DeviceSpace device;
    QSize size;
    if (header.placeable) {
        const double boxWidth = header.box.right() - header.box.left();
        const double boxHeight = header.box.bottom() - header.box.top();
        if (boxWidth == 0 || boxHeight == 0)
            invalidMetafile();
        const double width = std::round(std::abs(boxWidth) * 96 / header.inch);
        const double height = std::round(std::abs(boxHeight) * 96 / header.inch);
        checkPictureSize(static_cast<std::int64_t>(width), static_cast<std::int64_t>(height));
        size = QSize(std::max(1, static_cast<int>(width)), std::max(1, static_cast<int>(height)));
        device.unitsPerMmX = device.unitsPerMmY = header.inch / 25.4;
        device.toPixels = QTransform::fromTranslate(-header.box.left(), -header.box.top()) *
                          QTransform::fromScale(size.width() / boxWidth, size.height() / boxHeight);
    } else {
        // No size stated: measure what the records draw, one unit a pixel.
        Canvas measure(QSize(), device);
        initialState(measure, header);
        WmfPlayer(file, header, measure).play();
        const QRectF drawn = measure.measuredBounds();
        if (drawn.isEmpty())
            invalidMetafile();
        const double side = std::max(drawn.width(), drawn.height());
        const double scale = side > largestUnsizedSide ? largestUnsizedSide / side : 1;
        size = QSize(std::max(1, static_cast<int>(std::ceil(drawn.width() * scale))),
                     std::max(1, static_cast<int>(std::ceil(drawn.height() * scale))));
        checkPictureSize(size.width(), size.height());
        device.toPixels = QTransform::fromTranslate(-drawn.left(), -drawn.top()) * QTransform::fromScale(scale, scale);
    }
    Canvas canvas(size, device);
    initialState(canvas, header);
    WmfPlayer(file, header, canvas).play();
    return metafilePicture(canvas.image());
}

}  // namespace clipora
