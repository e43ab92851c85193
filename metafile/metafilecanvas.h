#pragma once
// The device context that metafile records draw through: mapping modes,
// window and viewport, world transform, pens, brushes, fonts, colours and
// modes, the current position, clipping, path brackets and raster
// operations, drawn with QPainter into a transparent ARGB picture. The WMF
// and EMF players decode records into calls on this class; everything
// here takes logical coordinates unless it says otherwise.

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QRegion>
#include <QTransform>

#include <memory>
#include <optional>
#include <vector>

#include "imaging/picture.h"
#include "metafiledib.h"

namespace clipora::metafile {

// GDI's numbers, as the records store them.
enum MapMode { mmText = 1, mmLoMetric, mmHiMetric, mmLoEnglish, mmHiEnglish, mmTwips, mmIsotropic, mmAnisotropic };
enum BkMode { bkTransparent = 1, bkOpaque = 2 };
enum FillMode { fillAlternate = 1, fillWinding = 2 };
enum ArcDirection { arcCounterClockwise = 1, arcClockwise = 2 };
enum RegionMode { rgnAnd = 1, rgnOr, rgnXor, rgnDiff, rgnCopy };
enum PenStyle {
    psSolid = 0, psDash, psDot, psDashDot, psDashDotDot, psNull, psInsideFrame, psUserStyle, psAlternate,
    psStyleMask = 0x0f, psEndCapMask = 0x0f00, psEndCapSquare = 0x0100, psEndCapFlat = 0x0200,
    psJoinMask = 0xf000, psJoinBevel = 0x1000, psJoinMiter = 0x2000, psGeometric = 0x10000
};
enum BrushStyle { bsSolid = 0, bsNull = 1, bsHatched = 2, bsPattern = 3, bsDibPattern = 5, bsDibPatternPt = 6 };
enum TextAlign { taUpdateCp = 1, taRight = 2, taCenter = 6, taBottom = 8, taBaseline = 24 };
enum TextOptions { etoOpaque = 0x02, etoClipped = 0x04, etoPdy = 0x2000 };
// Ternary raster operations that come up by name.
inline constexpr std::uint32_t ropSrcCopy = 0x00CC0020;
inline constexpr std::uint32_t ropPatCopy = 0x00F00021;

// The drawn picture as a Picture of kind Metafile: untouched pixels are
// transparent (and white underneath).
Picture metafilePicture(const QImage& drawn);

// A COLORREF: 0x00BBGGRR, or a palette index when the top byte is 1.
QColor colourFromRef(std::uint32_t ref, const std::vector<QRgb>& palette);

// Object tables hold at most this many objects: a WMF indexes its table with
// 16-bit words, and an EMF may not make us allocate more for its handles.
inline constexpr std::size_t maxObjects = 65535;
// GDI's logical palettes hold at most 1024 entries; records asking for more
// are ignored (or, resizing, held to this).
inline constexpr std::size_t maxPaletteEntries = 1024;

using Palette = std::vector<QRgb>;

// `count` PALETTEENTRY records (red, green, blue, flags) from `at`, as both
// formats store them. Throws for entries past the record's end.
Palette readPaletteEntries(const Data& record, std::size_t at, std::size_t count);
// Entries from `start` replace a palette's, growing it (with black) when
// needed; a change reaching past maxPaletteEntries is ignored.
void setPaletteEntries(Palette& palette, std::size_t start, const Palette& entries);
// A palette resized as a resize-palette record asks, held to maxPaletteEntries.
void resizePalette(Palette& palette, std::size_t entries);

// A brush record's style when the record carries no pattern: pattern
// styles without their bitmap draw solid.
inline int styleWithoutPattern(int style)
{
    return style == bsSolid || style == bsNull || style == bsHatched ? style : bsSolid;
}

struct Pen {
    int style = psSolid;  // style, end cap, join and geometric bits
    double width = 0;     // logical units; at most one pixel is one pixel
    QColor colour = Qt::black;
    std::vector<double> dashes;  // user style, in logical units
    bool isNull() const { return (style & psStyleMask) == psNull; }
};

struct Brush {
    int style = bsSolid;
    QColor colour = Qt::white;
    int hatch = 0;
    std::shared_ptr<const Dib> pattern;  // pattern brushes
    bool isNull() const { return style == bsNull; }
};

struct Font {
    double height = 0;  // < 0: character height, > 0: cell height, logical units
    double width = 0;
    int escapement = 0;  // tenths of a degree, counter-clockwise
    int weight = 400;
    bool italic = false, underline = false, strikeOut = false;
    int charset = 0;
    int pitchAndFamily = 0;
    QString face;
};

// Rectangles of a region object, in the units of the record that made it.
struct Region {
    std::vector<QRectF> rects;
};

struct DcState {
    int mapMode = mmText;
    QPointF windowOrg{0, 0}, viewportOrg{0, 0};
    QSizeF windowExt{1, 1}, viewportExt{1, 1};
    // Until a file sets a viewport of its own, the viewport follows the
    // window (so window units are device units).
    bool viewportFollowsWindow = false;
    QTransform world;
    Pen pen;
    Brush brush;
    Font font;
    std::vector<QRgb> palette;
    QColor textColour = Qt::black;
    QColor bkColour = Qt::white;
    int bkMode = bkOpaque;
    int textAlign = 0;
    int fillMode = fillAlternate;
    int rop2 = 13;  // R2_COPYPEN
    int stretchMode = 1;
    int arcDirection = arcCounterClockwise;
    double textCharExtra = 0;
    QPointF position;  // current position
    // Clipping in picture pixels: the clip region and the meta region.
    bool clipped = false;
    QRegion clip;
    bool metaClipped = false;
    QRegion metaClip;
};

// Where the metafile's device units land in the picture, and how large
// they are (for the fixed mapping modes).
struct DeviceSpace {
    QTransform toPixels;
    double unitsPerMmX = 96 / 25.4;
    double unitsPerMmY = 96 / 25.4;
};

struct TextRun {
    QPointF reference;
    QString text;
    std::vector<double> advances;  // per UTF-16 unit, logical; empty: the font's own
    std::vector<double> rises;     // per UTF-16 unit with ETO_PDY
    int options = 0;
    std::optional<QRectF> rect;  // for ETO_OPAQUE and ETO_CLIPPED, logical
    bool advancedMode = false;   // text follows the world transform
};

// A bitmap drawn to a rectangle, as the blit records describe it.
struct Blit {
    QRectF destination;            // logical: x, y, width, height (may be negative)
    const QImage* source = nullptr;  // ARGB32; null for raster operations without source
    QRectF sourceRect;             // in source pixels from the top left
    std::uint32_t rop = ropSrcCopy;
    const QImage* mask = nullptr;  // MaskBlt: 1 bits (white) take rop, 0 bits ropBackground
    QPointF maskOrigin;
    std::uint32_t ropBackground = 0;
};

class Canvas {
public:
    // Draws into a transparent picture of `size`. With an empty size
    // nothing is drawn: the canvas measures the bounds of what would be
    // drawn, in device units (`device.toPixels` is then ignored).
    Canvas(QSize size, const DeviceSpace& device);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    DcState& state() { return dc_; }
    const DcState& state() const { return dc_; }
    bool measuring() const { return measuring_; }

    // The picture drawn so far (premultiplied ARGB).
    QImage image();
    // Bounds of everything drawn while measuring, device units.
    QRectF measuredBounds() const { return measured_; }

    void saveDc();
    void restoreDc(int which);

    // Mapping.
    void setMapMode(int mode);
    void setWindowOrg(QPointF org);
    void setWindowExt(QSizeF ext);
    void setViewportOrg(QPointF org);
    void setViewportExt(QSizeF ext);
    void scaleWindowExt(double xNum, double xDenom, double yNum, double yDenom);
    void scaleViewportExt(double xNum, double xDenom, double yNum, double yDenom);
    void setWorldTransform(const QTransform& world);
    void modifyWorldTransform(const QTransform& xform, int mode);
    QTransform pageToDevice() const;
    QTransform logicalToPixels() const;

    // Lines and shapes. Inside a path bracket they add to the path instead.
    void moveTo(QPointF p);
    void lineTo(QPointF p);
    void polyline(const QPolygonF& points);
    void polylineTo(const QPolygonF& points);
    void polyBezier(const QPolygonF& points);
    void polyBezierTo(const QPolygonF& points);
    void polyDraw(const QPolygonF& points, const std::vector<std::uint8_t>& types);
    void polygon(const QPolygonF& points);
    void polyPolygon(const std::vector<QPolygonF>& polygons);
    void polyPolyline(const std::vector<QPolygonF>& polylines);
    void rectangle(QRectF box);
    void roundRect(QRectF box, QSizeF corner);
    void ellipse(QRectF box);
    void arc(QRectF box, QPointF start, QPointF end);
    void arcTo(QRectF box, QPointF start, QPointF end);
    void chord(QRectF box, QPointF start, QPointF end);
    void pie(QRectF box, QPointF start, QPointF end);
    void angleArc(QPointF centre, double radius, double startDegrees, double sweepDegrees);
    void setPixel(QPointF p, const QColor& colour);

    // Path brackets.
    void beginPath();
    void endPath();
    void abortPath();
    void closeFigure();
    void fillPath();
    void strokePath();
    void strokeAndFillPath();
    void widenPath();
    void selectClipPath(int mode);

    // Text.
    void textOut(const TextRun& run);

    // Bitmaps and raster operations.
    void blit(const Blit& blit);
    // Alpha blending of `source` (premultiplied when perPixelAlpha).
    void alphaBlend(QRectF destination, const QImage& source, QRectF sourceRect, int constantAlpha,
                    bool perPixelAlpha);
    // The bitmap on a parallelogram: `corners` are the images of the
    // source rectangle's top-left, top-right and bottom-left corners.
    void plgBlit(const QPointF corners[3], const QImage& source, QRectF sourceRect, const QImage* mask,
                 QPointF maskOrigin);
    void gradientRect(QRectF box, const QColor& from, const QColor& to, bool vertical);
    void gradientTriangle(const QPointF points[3], const QColor colours[3]);

    // Regions and clipping. `logical` says whether the rectangles are
    // logical coordinates (WMF) or device units (EMF).
    QRegion pixelRegion(const Region& region, bool logical) const;
    void fillRegion(const QRegion& pixels, const Brush& brush);
    void frameRegion(const QRegion& pixels, const Brush& brush, QSizeF stroke);
    void invertRegion(const QRegion& pixels);
    void intersectClipRect(QRectF box);
    void excludeClipRect(QRectF box);
    void offsetClip(QPointF offset);
    // Combines the clip with a region in pixels; a null region with
    // rgnCopy removes clipping.
    void selectClip(const std::optional<QRegion>& pixels, int mode);
    void setMetaRegion();

private:
    struct FontChoice;

    // Painting in picture pixels, clipped; in measuring mode these only
    // extend the bounds.
    QPainter& painter();
    void releasePainter();
    void drawShape(const QPainterPath& logical, bool fill, bool stroke);
    void fillPixels(const QPainterPath& pixels, const Brush& brush);
    void strokePixels(const QPainterPath& pixels);
    void addToPath(const QPainterPath& logical);
    void continueFigure(const QPointF& logicalFrom);
    bool arcsCounterClockwise() const;
    void traceFromPosition(const QPainterPath& logical, const QPointF& from);
    QBrush qtBrush(const Brush& brush) const;
    QPen qtPen(double pixelWidth) const;
    double penPixelWidth() const;
    double pixelScale() const;
    QRegion effectiveClip() const;
    QRect canvasRect() const { return QRect(QPoint(0, 0), size_); }
    QRegion regionFromPixels(const QPolygonF& polygon) const;
    QRegion rectRegion(QRectF logicalBox) const;
    void measure(const QRectF& pixels);
    // The footprint of a blit of `visible` (source pixels) through `t`:
    // measured while measuring, else charged against the budget. False when
    // nothing is to be drawn.
    bool beginBlit(const QTransform& t, const QRectF& visible);
    // A blit in its two kinds: a pattern or constant over the destination,
    // or a source bitmap (in two passes through a mask).
    struct SourcePlacement;
    void blitWithoutSource(const Blit& blit, const QTransform& toPixels);
    void blitSource(const Blit& blit, const QTransform& toPixels);
    static QImage maskedSource(const Blit& blit, bool wantSet);
    void drawBlitSource(const QImage& source, std::uint32_t rop, const SourcePlacement& at);
    // Counts pixels about to be drawn against the file's budget.
    void charge(const QRectF& pixels);
    void chargeArea(double pixels);
    // Applies a ternary raster operation with `layer` (premultiplied ARGB,
    // placed at `offset`) as source or as pattern; its alpha is coverage.
    void combineLayer(const QImage& layer, QPoint offset, std::uint32_t rop, bool layerIsSource,
                      const QImage* patternLayer);
    QImage blankLayer(const QRect& area) const;
    void paintBrushLayer(QImage& layer, QPoint offset, const QPainterPath& pixels, const Brush& brush);
    void drawWithRop2(const QPainterPath& pixels, bool fill, bool stroke);
    const FontChoice& chooseFont(const Font& font, int pixelSize);

    // Text in three steps: the font at its size and stretch along the
    // run's baseline, the place of every character and of the text cell,
    // then the path, the measured bounds or the pixels.
    struct TextMeasure;
    struct TextLayout;
    std::optional<TextMeasure> measureText(const TextRun& run, QPointF reference);
    TextLayout layOutText(const TextRun& run, const TextMeasure& measure) const;
    void drawText(const TextRun& run, const TextMeasure& measure, const TextLayout& layout);

    QSize size_;
    DeviceSpace device_;
    bool measuring_;
    QRectF measured_;
    double work_ = 0;
    QImage image_;
    QPainter painter_;
    bool clipApplied_ = false;
    DcState dc_;
    std::vector<DcState> saved_;
    // The path bracket, in pixels.
    bool pathOpen_ = false;
    bool figureOpen_ = false;
    QPainterPath path_;
    std::unique_ptr<FontChoice> font_;
};

}  // namespace clipora::metafile
