#include "metafilecanvas.h"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainterPathStroker>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "imaging/errors.h"
#include "metafile.h"
#include "metafiletext.h"

namespace clipora::metafile {

namespace {

// Pixel coordinates are kept within this range before they become ints:
// far beyond any picture, far within int.
constexpr double coordinateLimit = 1e7;
// Pixels all drawing of one file may touch: some tens of seconds of work.
constexpr double workBudget = 2e10;

double clampCoordinate(double v)
{
    if (!std::isfinite(v))
        return v > 0 ? coordinateLimit : -coordinateLimit;
    return std::clamp(v, -coordinateLimit, coordinateLimit);
}

QRect roundedRect(const QRectF& r)
{
    const int left = static_cast<int>(std::lround(clampCoordinate(r.left())));
    const int top = static_cast<int>(std::lround(clampCoordinate(r.top())));
    const int right = static_cast<int>(std::lround(clampCoordinate(r.right())));
    const int bottom = static_cast<int>(std::lround(clampCoordinate(r.bottom())));
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}

// The union of many regions. Halving keeps the work near n log n for the
// banded rectangles regions are made of, where one by one would be n squared.
template <typename Part>
QRegion uniteAll(const std::vector<Part>& parts, std::size_t begin, std::size_t end)
{
    if (end - begin == 0)
        return QRegion();
    if (end - begin == 1)
        return QRegion(parts[begin]);
    const std::size_t middle = begin + (end - begin) / 2;
    return uniteAll(parts, begin, middle).united(uniteAll(parts, middle, end));
}

template <typename Part>
QRegion uniteAll(const std::vector<Part>& parts)
{
    return uniteAll(parts, 0, parts.size());
}

bool finiteTransform(const QTransform& t)
{
    return std::isfinite(t.m11()) && std::isfinite(t.m12()) && std::isfinite(t.m21()) && std::isfinite(t.m22()) &&
           std::isfinite(t.dx()) && std::isfinite(t.dy()) && std::isfinite(t.m13()) && std::isfinite(t.m23()) &&
           std::isfinite(t.m33());
}

bool finiteRect(const QRectF& r)
{
    return std::isfinite(r.x()) && std::isfinite(r.y()) && std::isfinite(r.width()) && std::isfinite(r.height());
}

// Qt's parametric angle (degrees, counter-clockwise on screen) of the point
// where the line from the ellipse's centre towards `p` meets it.
double ellipseAngle(const QRectF& box, QPointF p)
{
    const QPointF c = box.center();
    const double rx = box.width() / 2, ry = box.height() / 2;
    if (rx <= 0 || ry <= 0)
        return 0;
    return std::atan2(-(p.y() - c.y()) / ry, (p.x() - c.x()) / rx) * 180 / std::numbers::pi;
}

QPointF ellipsePoint(const QRectF& box, double degrees)
{
    const double a = degrees * std::numbers::pi / 180;
    return box.center() + QPointF(box.width() / 2 * std::cos(a), -box.height() / 2 * std::sin(a));
}

// A ternary raster operation on packed 0xRRGGBB words (the operations are
// bitwise, so all three channels go at once): bit i of the index is the
// result for pattern, source and destination bits (i >> 2, i >> 1, i) & 1.
// The result is the union of the index's minterms.
class Rop3 {
public:
    explicit Rop3(unsigned index)
    {
        for (unsigned i = 0; i < 8; ++i) {
            if ((index >> i) & 1) {
                flip_[count_][0] = (i & 4) ? 0 : ~0u;
                flip_[count_][1] = (i & 2) ? 0 : ~0u;
                flip_[count_][2] = (i & 1) ? 0 : ~0u;
                ++count_;
            }
        }
    }
    std::uint32_t operator()(std::uint32_t p, std::uint32_t s, std::uint32_t d) const
    {
        std::uint32_t r = 0;
        for (int i = 0; i < count_; ++i)
            r |= (p ^ flip_[i][0]) & (s ^ flip_[i][1]) & (d ^ flip_[i][2]);
        return r & 0x00ffffffu;
    }

private:
    std::uint32_t flip_[8][3] = {};
    int count_ = 0;
};

// The ternary operation that a binary one (R2_*) of pen or brush and
// destination amounts to, with the pen or brush as pattern.
unsigned rop3FromRop2(int rop2)
{
    const unsigned table = static_cast<unsigned>(rop2 - 1) & 0x0f;  // bit (P << 1 | D)
    unsigned index = 0;
    for (unsigned i = 0; i < 8; ++i) {
        const unsigned p = (i >> 2) & 1, d = i & 1;
        if ((table >> ((p << 1) | d)) & 1)
            index |= 1u << i;
    }
    return index;
}

bool ropUsesSource(unsigned index) { return (((index >> 2) ^ index) & 0x33) != 0; }
bool ropUsesPattern(unsigned index) { return (((index >> 4) ^ index) & 0x0f) != 0; }

}  // namespace

Picture metafilePicture(const QImage& drawn)
{
    const QImage image = drawn.convertToFormat(QImage::Format_ARGB32);
    Picture picture;
    picture.kind = PictureKind::Metafile;
    picture.pixels = Bitmap24(image.width(), image.height());
    picture.alpha.assign(static_cast<std::size_t>(image.width()) * image.height(), 0);
    bool opaque = true;
    for (int y = 0; y < image.height(); ++y) {
        const auto* src = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        std::uint8_t* dst = picture.pixels.row(y);
        std::uint8_t* alpha = picture.alpha.data() + static_cast<std::size_t>(y) * image.width();
        for (int x = 0; x < image.width(); ++x) {
            const int a = qAlpha(src[x]);
            alpha[x] = static_cast<std::uint8_t>(a);
            opaque = opaque && a == 255;
            if (a == 0)
                continue;  // stays white
            dst[3 * x] = static_cast<std::uint8_t>(qBlue(src[x]));
            dst[3 * x + 1] = static_cast<std::uint8_t>(qGreen(src[x]));
            dst[3 * x + 2] = static_cast<std::uint8_t>(qRed(src[x]));
        }
    }
    if (opaque)
        picture.alpha.clear();
    return picture;
}

QColor colourFromRef(std::uint32_t ref, const std::vector<QRgb>& palette)
{
    if ((ref >> 24) == 1) {
        const std::size_t index = ref & 0xffff;
        return index < palette.size() ? QColor(palette[index]) : QColor(Qt::black);
    }
    return QColor(ref & 0xff, (ref >> 8) & 0xff, (ref >> 16) & 0xff);
}

Palette readPaletteEntries(const Data& record, std::size_t at, std::size_t count)
{
    record.need(at, static_cast<std::uint64_t>(count) * 4);
    Palette entries;
    entries.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
        entries.push_back(qRgb(record.u8(at + 4 * i), record.u8(at + 4 * i + 1), record.u8(at + 4 * i + 2)));
    return entries;
}

void setPaletteEntries(Palette& palette, std::size_t start, const Palette& entries)
{
    if (start > maxPaletteEntries || entries.size() > maxPaletteEntries - start)
        return;
    if (palette.size() < start + entries.size())
        palette.resize(start + entries.size(), qRgb(0, 0, 0));
    std::copy(entries.begin(), entries.end(), palette.begin() + static_cast<std::ptrdiff_t>(start));
}

void resizePalette(Palette& palette, std::size_t entries)
{
    palette.resize(std::min(entries, maxPaletteEntries), qRgb(0, 0, 0));
}

struct Canvas::FontChoice {
    QString key;
    QFont font;
    QFontMetricsF metrics{QFont()};
};

Canvas::Canvas(QSize size, const DeviceSpace& device)
    : size_(size), device_(device), measuring_(size.isEmpty())
{
    if (measuring_) {
        device_.toPixels = QTransform();
    } else {
        image_ = QImage(size, QImage::Format_ARGB32_Premultiplied);
        if (image_.isNull())
            throw ImagingError(formatMessage(messages::pictureTooLarge,
                                             std::to_string(size.width()) + " x " + std::to_string(size.height())));
        image_.fill(0);
    }
}

Canvas::~Canvas()
{
    releasePainter();
}

QImage Canvas::image()
{
    releasePainter();
    return image_;
}

void Canvas::saveDc()
{
    // Deeper than any drawing program goes; a file saving without end
    // would otherwise fill the memory with copies.
    constexpr std::size_t deepest = 10000;
    if (saved_.size() < deepest)
        saved_.push_back(dc_);
}

void Canvas::restoreDc(int which)
{
    // Negative: so many levels back; positive: the state saved as that level.
    std::size_t keep;
    if (which < 0) {
        if (static_cast<std::size_t>(-static_cast<long long>(which)) > saved_.size())
            return;
        keep = saved_.size() - static_cast<std::size_t>(-static_cast<long long>(which));
    } else if (which > 0) {
        if (static_cast<std::size_t>(which) > saved_.size())
            return;
        keep = static_cast<std::size_t>(which) - 1;
    } else {
        return;
    }
    dc_ = saved_[keep];
    saved_.resize(keep);
    clipApplied_ = false;
}

// Mapping

void Canvas::setMapMode(int mode)
{
    if (mode < mmText || mode > mmAnisotropic)
        return;
    dc_.mapMode = mode;
}

void Canvas::setWindowOrg(QPointF org)
{
    dc_.windowOrg = org;
    if (dc_.viewportFollowsWindow)
        dc_.viewportOrg = org;
}

void Canvas::setWindowExt(QSizeF ext)
{
    if (ext.width() == 0 || ext.height() == 0)
        return;
    dc_.windowExt = ext;
    if (dc_.viewportFollowsWindow)
        dc_.viewportExt = ext;
}

void Canvas::setViewportOrg(QPointF org)
{
    dc_.viewportFollowsWindow = false;
    dc_.viewportOrg = org;
}

void Canvas::setViewportExt(QSizeF ext)
{
    if (ext.width() == 0 || ext.height() == 0)
        return;
    dc_.viewportFollowsWindow = false;
    dc_.viewportExt = ext;
}

void Canvas::scaleWindowExt(double xNum, double xDenom, double yNum, double yDenom)
{
    if (xDenom == 0 || yDenom == 0)
        return;
    setWindowExt(QSizeF(dc_.windowExt.width() * xNum / xDenom, dc_.windowExt.height() * yNum / yDenom));
}

void Canvas::scaleViewportExt(double xNum, double xDenom, double yNum, double yDenom)
{
    if (xDenom == 0 || yDenom == 0)
        return;
    setViewportExt(QSizeF(dc_.viewportExt.width() * xNum / xDenom, dc_.viewportExt.height() * yNum / yDenom));
}

void Canvas::setWorldTransform(const QTransform& world)
{
    // A transform that cannot be inverted is refused, as GDI refuses it.
    if (!finiteTransform(world) || world.determinant() == 0 || !std::isfinite(world.determinant()))
        return;
    dc_.world = world;
}

void Canvas::modifyWorldTransform(const QTransform& xform, int mode)
{
    switch (mode) {
    case 1: dc_.world = QTransform(); break;
    case 2: setWorldTransform(xform * dc_.world); break;
    case 3: setWorldTransform(dc_.world * xform); break;
    case 4: setWorldTransform(xform); break;
    default: break;
    }
}

QTransform Canvas::pageToDevice() const
{
    double sx = 1, sy = 1;
    const double mmX = device_.unitsPerMmX, mmY = device_.unitsPerMmY;
    switch (dc_.mapMode) {
    case mmLoMetric: sx = 0.1 * mmX, sy = -0.1 * mmY; break;
    case mmHiMetric: sx = 0.01 * mmX, sy = -0.01 * mmY; break;
    case mmLoEnglish: sx = 0.254 * mmX, sy = -0.254 * mmY; break;
    case mmHiEnglish: sx = 0.0254 * mmX, sy = -0.0254 * mmY; break;
    case mmTwips: sx = 25.4 / 1440 * mmX, sy = -25.4 / 1440 * mmY; break;
    case mmIsotropic:
    case mmAnisotropic:
        sx = dc_.viewportExt.width() / dc_.windowExt.width();
        sy = dc_.viewportExt.height() / dc_.windowExt.height();
        if (dc_.mapMode == mmIsotropic) {
            // Equal physical scale on both axes: the smaller one, signs kept.
            const double ax = std::abs(sx) / mmX, ay = std::abs(sy) / mmY;
            const double a = std::min(ax, ay);
            sx = std::copysign(a * mmX, sx);
            sy = std::copysign(a * mmY, sy);
        }
        break;
    default: break;
    }
    const QPointF w = dc_.windowOrg, v = dc_.viewportOrg;
    return QTransform(sx, 0, 0, sy, v.x() - w.x() * sx, v.y() - w.y() * sy);
}

QTransform Canvas::logicalToPixels() const
{
    return dc_.world * pageToDevice() * device_.toPixels;
}

double Canvas::pixelScale() const
{
    const QTransform m = logicalToPixels();
    const double s = std::sqrt(std::abs(m.m11() * m.m22() - m.m12() * m.m21()));
    return std::isfinite(s) ? s : 0;
}

// Painting

QPainter& Canvas::painter()
{
    if (!painter_.isActive()) {
        painter_.begin(&image_);
        clipApplied_ = false;
    }
    painter_.resetTransform();
    painter_.setRenderHint(QPainter::Antialiasing, false);
    painter_.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter_.setOpacity(1);
    painter_.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter_.setBrush(Qt::NoBrush);
    painter_.setPen(Qt::NoPen);
    if (!clipApplied_) {
        const QRegion clip = effectiveClip();
        if (dc_.clipped || dc_.metaClipped)
            painter_.setClipRegion(clip);
        else
            painter_.setClipping(false);
        clipApplied_ = true;
    }
    return painter_;
}

void Canvas::releasePainter()
{
    if (painter_.isActive())
        painter_.end();
    clipApplied_ = false;
}

QRegion Canvas::effectiveClip() const
{
    QRegion clip(canvasRect());
    if (dc_.clipped)
        clip &= dc_.clip;
    if (dc_.metaClipped)
        clip &= dc_.metaClip;
    return clip;
}

void Canvas::charge(const QRectF& r)
{
    // Drawing time grows with the pixels drawn, which a small file can make
    // enormous; past the budget the file is refused.
    if (!finiteRect(r))
        return;
    const QRectF visible = r & QRectF(canvasRect());
    chargeArea(visible.width() * visible.height());
}

void Canvas::chargeArea(double pixels)
{
    work_ += pixels;
    if (work_ > workBudget)
        throw ImagingError(messages::metafileTooComplex);
}

void Canvas::measure(const QRectF& r)
{
    if (!finiteRect(r))
        return;
    measured_ = measured_.isNull() ? r : measured_.united(r);
}

QBrush Canvas::qtBrush(const Brush& brush) const
{
    switch (brush.style) {
    case bsHatched: {
        static constexpr Qt::BrushStyle hatches[] = {Qt::HorPattern, Qt::VerPattern, Qt::FDiagPattern,
                                                     Qt::BDiagPattern, Qt::CrossPattern, Qt::DiagCrossPattern};
        const int h = brush.hatch >= 0 && brush.hatch < 6 ? brush.hatch : 0;
        return QBrush(brush.colour, hatches[h]);
    }
    case bsPattern:
    case bsDibPattern:
    case bsDibPatternPt:
        if (brush.pattern && !brush.pattern->image.isNull()) {
            // A monochrome bitmap pattern paints its 0 bits in the text
            // colour and its 1 bits in the background colour; DIB patterns
            // keep their own colours.
            if (brush.style == bsPattern && brush.pattern->monochrome())
                return QBrush(brush.pattern->recoloured(dc_.textColour.rgb(), dc_.bkColour.rgb()));
            return QBrush(brush.pattern->image);
        }
        return QBrush(brush.colour);
    default: return QBrush(brush.colour);
    }
}

double Canvas::penPixelWidth() const
{
    if (dc_.pen.width <= 0)
        return 0;
    // Qt refuses pens of 32768 pixels and more; wider than that is as good.
    const double w = dc_.pen.width * pixelScale();
    return w > 1 ? std::min(w, 32000.0) : 0;
}

QPen Canvas::qtPen(double pixelWidth) const
{
    const Pen& p = dc_.pen;
    QPen pen(p.colour);
    pen.setWidthF(pixelWidth);
    const bool thin = pixelWidth <= 1;
    if (thin) {
        pen.setCapStyle(Qt::FlatCap);
        pen.setJoinStyle(Qt::MiterJoin);
    } else {
        switch (p.style & psEndCapMask) {
        case psEndCapSquare: pen.setCapStyle(Qt::SquareCap); break;
        case psEndCapFlat: pen.setCapStyle(Qt::FlatCap); break;
        default: pen.setCapStyle(Qt::RoundCap); break;
        }
        switch (p.style & psJoinMask) {
        case psJoinBevel: pen.setJoinStyle(Qt::BevelJoin); break;
        case psJoinMiter: pen.setJoinStyle(Qt::MiterJoin); break;
        default: pen.setJoinStyle(Qt::RoundJoin); break;
        }
    }
    // Dash lengths of GDI's styles: in pixels for thin pens, in widths for wide ones.
    QList<qreal> dashes;
    switch (p.style & psStyleMask) {
    case psDash: dashes = thin ? QList<qreal>{18, 6} : QList<qreal>{3, 1}; break;
    case psDot: dashes = thin ? QList<qreal>{3, 3} : QList<qreal>{1, 1}; break;
    case psDashDot: dashes = thin ? QList<qreal>{9, 6, 3, 6} : QList<qreal>{3, 1, 1, 1}; break;
    case psDashDotDot: dashes = thin ? QList<qreal>{9, 3, 3, 3, 3, 3} : QList<qreal>{3, 1, 1, 1, 1, 1}; break;
    case psAlternate: dashes = {1, 1}; break;
    case psUserStyle: {
        const double unit = pixelScale() / std::max(1.0, pixelWidth);
        for (double d : p.dashes)
            dashes << std::clamp(d * unit, 0.1, 1e4);
        if (dashes.size() % 2)
            dashes << dashes.back();
        break;
    }
    default: break;
    }
    if (!dashes.isEmpty())
        pen.setDashPattern(dashes);
    return pen;
}

void Canvas::fillPixels(const QPainterPath& pixels, const Brush& brush)
{
    if (measuring_) {
        measure(pixels.boundingRect());
        return;
    }
    charge(pixels.boundingRect());
    QPainter& p = painter();
    if (brush.style == bsHatched && dc_.bkMode == bkOpaque)
        p.fillPath(pixels, dc_.bkColour);
    p.fillPath(pixels, qtBrush(brush));
}

void Canvas::strokePixels(const QPainterPath& pixels)
{
    const double width = penPixelWidth();
    if (measuring_) {
        // A thin pen stays within the pixels the shape covers.
        const double half = width / 2;
        measure(pixels.boundingRect().adjusted(-half, -half, half, half));
        return;
    }
    // A line costs its length times its width, not its bounding box.
    const double half = std::max(width, 1.0) / 2;
    const QRectF reach = pixels.boundingRect().adjusted(-half, -half, half, half) & QRectF(canvasRect());
    if (reach.isEmpty())
        return;  // nothing of it within the picture
    const double length = pixels.length();
    chargeArea(std::min(reach.width() * reach.height(), std::isfinite(length) ? length * std::max(width, 1.0) : 0.0));
    QPainter& p = painter();
    const QPen pen = qtPen(width);
    const int style = dc_.pen.style & psStyleMask;
    if (width <= 1 && dc_.bkMode == bkOpaque && style >= psDash && style <= psDashDotDot) {
        // Gaps of a styled thin pen take the background colour.
        QPen gaps(dc_.bkColour);
        gaps.setWidthF(0);
        gaps.setCapStyle(Qt::FlatCap);
        p.strokePath(pixels, gaps);
    }
    p.strokePath(pixels, pen);
}

QImage Canvas::blankLayer(const QRect& area) const
{
    QImage layer(area.size(), QImage::Format_ARGB32_Premultiplied);
    layer.fill(0);
    return layer;
}

void Canvas::paintBrushLayer(QImage& layer, QPoint offset, const QPainterPath& pixels, const Brush& brush)
{
    QPainter p(&layer);
    const QRegion clip = effectiveClip().translated(-offset);
    p.setClipRegion(clip);
    p.translate(-offset);
    if (brush.style == bsHatched && dc_.bkMode == bkOpaque)
        p.fillPath(pixels, dc_.bkColour);
    // Translating the painter keeps patterns aligned to the picture.
    p.fillPath(pixels, qtBrush(brush));
}

void Canvas::drawWithRop2(const QPainterPath& pixels, bool fill, bool stroke)
{
    const unsigned index = rop3FromRop2(dc_.rop2);
    if (index == 0xaa)  // the destination stays
        return;
    const double width = penPixelWidth();
    const double margin = std::max(width, 1.0) + 2;
    const QRect area = roundedRect(pixels.boundingRect().adjusted(-margin, -margin, margin, margin)) &
                       effectiveClip().boundingRect();
    if (area.isEmpty())
        return;
    releasePainter();
    if (fill) {
        QImage layer = blankLayer(area);
        paintBrushLayer(layer, area.topLeft(), pixels, dc_.brush);
        combineLayer(layer, area.topLeft(), index << 16, false, nullptr);
    }
    if (stroke) {
        QImage layer = blankLayer(area);
        {
            QPainter p(&layer);
            p.setClipRegion(effectiveClip().translated(-area.topLeft()));
            p.translate(-area.topLeft());
            p.strokePath(pixels, qtPen(width));
        }
        combineLayer(layer, area.topLeft(), index << 16, false, nullptr);
    }
}

void Canvas::combineLayer(const QImage& layer, QPoint offset, std::uint32_t rop, bool layerIsSource,
                          const QImage* patternLayer)
{
    releasePainter();
    const Rop3 op((rop >> 16) & 0xff);
    const std::uint32_t brushColour = dc_.brush.colour.rgb() & 0x00ffffffu;
    const QRect area = QRect(offset, layer.size()) & canvasRect();
    charge(QRectF(area));
    auto straight = [](QRgb c) { return (qAlpha(c) == 255 ? c : qUnpremultiply(c)) & 0x00ffffffu; };
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const auto* src = reinterpret_cast<const QRgb*>(layer.constScanLine(y - offset.y()));
        const QRgb* pat = patternLayer ? reinterpret_cast<const QRgb*>(patternLayer->constScanLine(y - offset.y()))
                                       : nullptr;
        auto* dst = reinterpret_cast<QRgb*>(image_.scanLine(y));
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb l = src[x - offset.x()];
            const unsigned a = qAlpha(l);
            if (a == 0)
                continue;
            std::uint32_t s = 0, p = straight(l);
            if (layerIsSource) {
                s = p;
                p = pat ? straight(pat[x - offset.x()]) : brushColour;
            }
            // An operation that gives back every destination bit leaves the
            // pixel as it is, transparency included.
            if (op(p, s, 0) == 0 && op(p, s, 0x00ffffffu) == 0x00ffffffu)
                continue;
            const QRgb d = dst[x];
            const unsigned da = qAlpha(d);
            // Under a transparent pixel lies the white it will be shown on.
            const std::uint32_t under = 255 - da;
            const std::uint32_t dw = ((qRed(d) + under) << 16) | ((qGreen(d) + under) << 8) | (qBlue(d) + under);
            const std::uint32_t r = op(p, s, dw);
            if (a == 255) {
                dst[x] = 0xff000000u | r;
            } else {
                const unsigned ia = 255 - a;
                dst[x] = qRgba((qRed(r) * a + qRed(d) * ia + 127) / 255, (qGreen(r) * a + qGreen(d) * ia + 127) / 255,
                               (qBlue(r) * a + qBlue(d) * ia + 127) / 255, a + (da * ia + 127) / 255);
            }
        }
    }
}

void Canvas::drawShape(const QPainterPath& logical, bool fill, bool stroke)
{
    if (pathOpen_) {
        addToPath(logical);
        return;
    }
    const bool doFill = fill && !dc_.brush.isNull();
    const bool doStroke = stroke && !dc_.pen.isNull();
    if (!doFill && !doStroke)
        return;
    const QTransform m = logicalToPixels();
    if (!finiteTransform(m))
        return;
    QPainterPath pixels = m.map(logical);
    pixels.setFillRule(dc_.fillMode == fillWinding ? Qt::WindingFill : Qt::OddEvenFill);
    if (!finiteRect(pixels.boundingRect()))
        return;
    if (!measuring_ && dc_.rop2 != 13) {
        drawWithRop2(pixels, doFill, doStroke);
        return;
    }
    if (doFill)
        fillPixels(pixels, dc_.brush);
    if (doStroke)
        strokePixels(pixels);
}

void Canvas::addToPath(const QPainterPath& logical)
{
    const QTransform m = logicalToPixels();
    if (!finiteTransform(m))
        return;
    path_.addPath(m.map(logical));
    figureOpen_ = false;
}

void Canvas::continueFigure(const QPointF& logicalFrom)
{
    if (!figureOpen_) {
        path_.moveTo(logicalToPixels().map(logicalFrom));
        figureOpen_ = true;
    }
}

// Lines and shapes

void Canvas::moveTo(QPointF p)
{
    dc_.position = p;
    if (pathOpen_)
        figureOpen_ = false;
}

void Canvas::lineTo(QPointF p)
{
    polylineTo(QPolygonF{p});
}

void Canvas::polylineTo(const QPolygonF& points)
{
    if (points.isEmpty())
        return;
    if (pathOpen_) {
        continueFigure(dc_.position);
        const QTransform m = logicalToPixels();
        for (const QPointF& p : points)
            path_.lineTo(m.map(p));
    } else {
        QPainterPath line(dc_.position);
        for (const QPointF& p : points)
            line.lineTo(p);
        drawShape(line, false, true);
    }
    dc_.position = points.back();
}

void Canvas::polyline(const QPolygonF& points)
{
    if (points.size() < 2)
        return;
    QPainterPath line;
    line.addPolygon(points);
    if (pathOpen_)
        addToPath(line);
    else
        drawShape(line, false, true);
}

void Canvas::polyPolyline(const std::vector<QPolygonF>& polylines)
{
    for (const QPolygonF& line : polylines)
        polyline(line);
}

void Canvas::polyBezier(const QPolygonF& points)
{
    if (points.size() < 4)
        return;
    QPainterPath curve(points[0]);
    for (qsizetype i = 1; i + 2 < points.size(); i += 3)
        curve.cubicTo(points[i], points[i + 1], points[i + 2]);
    if (pathOpen_)
        addToPath(curve);
    else
        drawShape(curve, false, true);
}

void Canvas::polyBezierTo(const QPolygonF& points)
{
    if (points.size() < 3)
        return;
    const qsizetype count = points.size() / 3 * 3;
    if (pathOpen_) {
        continueFigure(dc_.position);
        const QTransform m = logicalToPixels();
        for (qsizetype i = 0; i < count; i += 3)
            path_.cubicTo(m.map(points[i]), m.map(points[i + 1]), m.map(points[i + 2]));
    } else {
        QPainterPath curve(dc_.position);
        for (qsizetype i = 0; i < count; i += 3)
            curve.cubicTo(points[i], points[i + 1], points[i + 2]);
        drawShape(curve, false, true);
    }
    dc_.position = points[count - 1];
}

void Canvas::polyDraw(const QPolygonF& points, const std::vector<std::uint8_t>& types)
{
    enum { closeFigureFlag = 1, lineToType = 2, bezierToType = 4, moveToType = 6 };
    QPainterPath figure(dc_.position);
    QPointF position = dc_.position;
    const qsizetype count = std::min<qsizetype>(points.size(), static_cast<qsizetype>(types.size()));
    for (qsizetype i = 0; i < count; ++i) {
        const int type = types[static_cast<std::size_t>(i)] & ~closeFigureFlag;
        bool close = types[static_cast<std::size_t>(i)] & closeFigureFlag;
        if (type == moveToType) {
            figure.moveTo(points[i]);
        } else if (type == lineToType) {
            figure.lineTo(points[i]);
        } else if (type == bezierToType && i + 2 < count) {
            figure.cubicTo(points[i], points[i + 1], points[i + 2]);
            i += 2;
            close = types[static_cast<std::size_t>(i)] & closeFigureFlag;
        } else {
            return;  // GDI refuses the whole call
        }
        position = points[i];
        if (close)
            figure.closeSubpath();
    }
    if (pathOpen_)
        addToPath(figure);
    else
        drawShape(figure, false, true);
    dc_.position = position;
}

void Canvas::polygon(const QPolygonF& points)
{
    if (points.size() < 2)
        return;
    QPainterPath shape;
    shape.addPolygon(points);
    shape.closeSubpath();
    drawShape(shape, true, true);
}

void Canvas::polyPolygon(const std::vector<QPolygonF>& polygons)
{
    QPainterPath shape;
    for (const QPolygonF& points : polygons) {
        if (points.size() < 2)
            continue;
        shape.addPolygon(points);
        shape.closeSubpath();
    }
    if (!shape.isEmpty())
        drawShape(shape, true, true);
}

namespace {

QRectF insideFrame(QRectF box, const Pen& pen)
{
    box = box.normalized();
    if ((pen.style & psStyleMask) == psInsideFrame && pen.width > 1) {
        const double h = pen.width / 2;
        box.adjust(h, h, -h, -h);
    }
    return box;
}

}  // namespace

void Canvas::rectangle(QRectF box)
{
    QPainterPath shape;
    shape.addRect(insideFrame(box, dc_.pen));
    drawShape(shape, true, true);
}

void Canvas::roundRect(QRectF box, QSizeF corner)
{
    QPainterPath shape;
    shape.addRoundedRect(insideFrame(box, dc_.pen), std::abs(corner.width()) / 2, std::abs(corner.height()) / 2);
    drawShape(shape, true, true);
}

void Canvas::ellipse(QRectF box)
{
    QPainterPath shape;
    shape.addEllipse(insideFrame(box, dc_.pen));
    drawShape(shape, true, true);
}

namespace {

enum class ArcKind { open, chord, pie };

// An arc of the ellipse in `box` from the radial through `start` to the one
// through `end`, in the given direction as seen on screen.
QPainterPath arcPath(QRectF box, QPointF start, QPointF end, bool counterClockwise, ArcKind kind,
                     const QPointF* lineFrom = nullptr)
{
    box = box.normalized();
    const double a0 = ellipseAngle(box, start), a1 = ellipseAngle(box, end);
    double sweep = a1 - a0;
    if (counterClockwise) {
        while (sweep <= 0)
            sweep += 360;
    } else {
        while (sweep >= 0)
            sweep -= 360;
    }
    QPainterPath path;
    const QPointF first = ellipsePoint(box, a0);
    if (kind == ArcKind::pie) {
        path.moveTo(box.center());
        path.lineTo(first);
    } else if (lineFrom) {
        path.moveTo(*lineFrom);
        path.lineTo(first);
    } else {
        path.moveTo(first);
    }
    path.arcTo(box, a0, sweep);
    if (kind != ArcKind::open)
        path.closeSubpath();
    return path;
}

}  // namespace

// The direction holds on screen: a mirroring transform reverses it in logical space.
bool Canvas::arcsCounterClockwise() const
{
    return (dc_.arcDirection == arcCounterClockwise) == (logicalToPixels().determinant() > 0);
}

// A line or curve that starts at the current position: joined to the open
// path's figure while a path is being recorded, else drawn; either way the
// current position moves to its end.
void Canvas::traceFromPosition(const QPainterPath& logical, const QPointF& from)
{
    if (pathOpen_) {
        continueFigure(from);
        path_.connectPath(logicalToPixels().map(logical));
    } else {
        drawShape(logical, false, true);
    }
    dc_.position = logical.currentPosition();
}

void Canvas::arc(QRectF box, QPointF start, QPointF end)
{
    const bool ccw = arcsCounterClockwise();
    const QPainterPath path = arcPath(box, start, end, ccw, ArcKind::open);
    if (pathOpen_)
        addToPath(path);
    else
        drawShape(path, false, true);
}

void Canvas::arcTo(QRectF box, QPointF start, QPointF end)
{
    const bool ccw = arcsCounterClockwise();
    const QPointF from = dc_.position;
    const QPainterPath path = arcPath(box, start, end, ccw, ArcKind::open, &from);
    traceFromPosition(path, from);
}

void Canvas::chord(QRectF box, QPointF start, QPointF end)
{
    const bool ccw = arcsCounterClockwise();
    drawShape(arcPath(box, start, end, ccw, ArcKind::chord), true, true);
}

void Canvas::pie(QRectF box, QPointF start, QPointF end)
{
    const bool ccw = arcsCounterClockwise();
    drawShape(arcPath(box, start, end, ccw, ArcKind::pie), true, true);
}

void Canvas::angleArc(QPointF centre, double radius, double startDegrees, double sweepDegrees)
{
    if (!std::isfinite(radius) || !std::isfinite(startDegrees) || !std::isfinite(sweepDegrees))
        return;
    const QRectF box(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
    const bool flip = logicalToPixels().determinant() < 0;
    const double sweep = std::clamp(sweepDegrees, -3600.0, 3600.0) * (flip ? -1 : 1);
    const double startAngle = startDegrees * (flip ? -1 : 1);
    const QPointF from = dc_.position;
    QPainterPath path(from);
    path.lineTo(ellipsePoint(box, startAngle));
    path.arcTo(box, startAngle, sweep);
    traceFromPosition(path, from);
}

void Canvas::setPixel(QPointF p, const QColor& colour)
{
    if (pathOpen_)
        return;
    const QTransform m = logicalToPixels();
    const QPointF at = m.map(p);
    // One device unit around the point.
    const double w = std::max(1.0, std::abs(device_.toPixels.m11()));
    const double h = std::max(1.0, std::abs(device_.toPixels.m22()));
    const QRectF pixel(std::floor(at.x()), std::floor(at.y()), std::round(w), std::round(h));
    if (!finiteRect(pixel))
        return;
    if (measuring_) {
        measure(pixel);
        return;
    }
    charge(pixel);
    painter().fillRect(pixel, colour);
}

// Path brackets

void Canvas::beginPath()
{
    pathOpen_ = true;
    figureOpen_ = false;
    path_ = QPainterPath();
}

void Canvas::endPath()
{
    pathOpen_ = false;
    figureOpen_ = false;
}

void Canvas::abortPath()
{
    pathOpen_ = false;
    figureOpen_ = false;
    path_ = QPainterPath();
}

void Canvas::closeFigure()
{
    if (pathOpen_ && figureOpen_) {
        path_.closeSubpath();
        figureOpen_ = false;
    }
}

void Canvas::fillPath()
{
    endPath();
    QPainterPath pixels = path_;
    path_ = QPainterPath();
    pixels.setFillRule(dc_.fillMode == fillWinding ? Qt::WindingFill : Qt::OddEvenFill);
    if (dc_.brush.isNull() || pixels.isEmpty() || !finiteRect(pixels.boundingRect()))
        return;
    if (!measuring_ && dc_.rop2 != 13)
        drawWithRop2(pixels, true, false);
    else
        fillPixels(pixels, dc_.brush);
}

void Canvas::strokePath()
{
    endPath();
    const QPainterPath pixels = path_;
    path_ = QPainterPath();
    if (dc_.pen.isNull() || pixels.isEmpty() || !finiteRect(pixels.boundingRect()))
        return;
    if (!measuring_ && dc_.rop2 != 13)
        drawWithRop2(pixels, false, true);
    else
        strokePixels(pixels);
}

void Canvas::strokeAndFillPath()
{
    const QPainterPath keep = path_;
    fillPath();
    path_ = keep;
    strokePath();
}

void Canvas::widenPath()
{
    if (path_.isEmpty())
        return;
    QPainterPathStroker stroker(qtPen(std::max(penPixelWidth(), 1.0)));
    path_ = stroker.createStroke(path_);
    figureOpen_ = false;
}

void Canvas::selectClipPath(int mode)
{
    endPath();
    QPainterPath pixels = path_;
    path_ = QPainterPath();
    pixels.setFillRule(dc_.fillMode == fillWinding ? Qt::WindingFill : Qt::OddEvenFill);
    if (measuring_ || !finiteRect(pixels.boundingRect()))
        return;
    std::vector<QRegion> parts;
    for (const QPolygonF& polygon : pixels.toFillPolygons())
        parts.push_back(regionFromPixels(polygon));
    selectClip(uniteAll(parts), mode);
}

// Text

const Canvas::FontChoice& Canvas::chooseFont(const Font& f, int pixelSize)
{
    const QString key = QStringLiteral("%1|%2|%3|%4|%5|%6|%7|%8")
                            .arg(f.face)
                            .arg(f.pitchAndFamily)
                            .arg(f.weight)
                            .arg(f.italic)
                            .arg(f.underline)
                            .arg(f.strikeOut)
                            .arg(pixelSize)
                            .arg(f.charset);
    if (font_ && font_->key == key)
        return *font_;
    QFont font;
    font.setFamilies(fontFamiliesFor(f.face, f.charset, f.pitchAndFamily));
    font.setPixelSize(pixelSize);
    font.setWeight(static_cast<QFont::Weight>(std::clamp(f.weight <= 0 ? 400 : f.weight, 100, 900)));
    font.setItalic(f.italic);
    font.setUnderline(f.underline);
    font.setStrikeOut(f.strikeOut);
    font.setKerning(false);
    switch (f.pitchAndFamily & 0xf0) {
    case 0x10: font.setStyleHint(QFont::Serif); break;
    case 0x20: font.setStyleHint(QFont::SansSerif); break;
    case 0x30: font.setStyleHint(QFont::TypeWriter); break;
    case 0x40: font.setStyleHint(QFont::Cursive); break;
    case 0x50: font.setStyleHint(QFont::Decorative); break;
    default: break;
    }
    if ((f.pitchAndFamily & 3) == 1)
        font.setFixedPitch(true);
    font_ = std::make_unique<FontChoice>(FontChoice{key, font, QFontMetricsF(font)});
    return *font_;
}

namespace {

// A font of height 0 takes the platform's default size, 13 pixels per em.
constexpr double defaultEmPixels = 13;
// Text smaller than this rounds to no pixel; larger than this is no real
// drawing's and would only keep FreeType busy: neither is drawn.
constexpr double smallestEmPixels = 0.5;
constexpr double largestEmPixels = 20000;
// A font's width may widen or narrow its glyphs a hundredfold at most:
// beyond, glyphs are walls or hairlines, and the transforms lose precision.
constexpr double leastStretch = 0.01;
constexpr double mostStretch = 100;
// The pixel size at which a font's cell height is measured, to turn a
// cell height (positive lfHeight) into a character height.
constexpr int probePixelSize = 100;

// What a font's width (lfWidth) is measured against: the font's own
// average character width at its size. For an East Asian character set,
// whose text is mostly full-width, that is a full-width ideograph's advance
// (the office suite writes such widths so, and draws them unstretched); for
// the others, the average the font states (its OS/2 xAvgCharWidth).
double averageCharacterWidth(const QFontMetricsF& metrics, int charset)
{
    constexpr char16_t ideograph = 0x6C34;  // 水, in every East Asian face
    if (isEastAsianCharset(charset)) {
        const double fullWidth = metrics.horizontalAdvance(QChar(ideograph));
        if (fullWidth > 0)
            return fullWidth;
    }
    return metrics.averageCharWidth();
}

// The UTF-16 units of one character starting at `i`: two for a surrogate pair.
qsizetype characterLength(const QString& text, qsizetype i)
{
    return text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate() ? 2 : 1;
}

}  // namespace

struct Canvas::TextMeasure {
    const FontChoice* choice = nullptr;
    QPointF origin;       // the reference point in pixels
    QPointF along, across;  // unit vectors of the baseline and of the ascent's opposite
    double xs = 1, ys = 1;  // logical units to pixels along x and y
    double k = 1;           // pixels per em over the font's integer pixel size
    double stretch = 1;     // the font width's widening of the glyphs
    double toText = 1;      // logical distance along the baseline to font pixels
};

struct Canvas::TextLayout {
    bool wholeString = true;  // drawn as one string, the font's own advances
    std::vector<double> at;   // per UTF-16 unit: offset along the baseline, font pixels
    std::vector<double> rise;
    double width = 0;
    double u0 = 0, v0 = 0;  // where the first character's baseline starts
    QRectF cell;            // the text cell, font pixels
    QTransform toPixels;    // font pixels to picture pixels
};

void Canvas::textOut(const TextRun& run)
{
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        throw ImagingError(messages::metafileNeedsFonts);
    const bool updateCp = dc_.textAlign & taUpdateCp;
    const QPointF reference = updateCp ? dc_.position : run.reference;
    const QTransform m = logicalToPixels();
    if (!finiteTransform(m))
        return;
    if ((run.options & etoOpaque) && run.rect && !pathOpen_) {
        QPainterPath box;
        box.addRect(run.rect->normalized());
        Brush background;
        background.colour = dc_.bkColour;
        fillPixels(m.map(box), background);
    }
    if (run.text.isEmpty())
        return;
    const std::optional<TextMeasure> measure = measureText(run, reference);
    if (!measure)
        return;
    const TextLayout layout = layOutText(run, *measure);
    if (updateCp && (dc_.textAlign & taCenter) != taCenter) {
        const double logicalWidth = layout.width / measure->toText;
        dc_.position.rx() += (dc_.textAlign & taRight) ? -logicalWidth : logicalWidth;
    }
    drawText(run, *measure, layout);
}

std::optional<Canvas::TextMeasure> Canvas::measureText(const TextRun& run, QPointF reference)
{
    const Font& f = dc_.font;
    const QTransform m = logicalToPixels();
    TextMeasure t;
    t.origin = m.map(reference);
    const QPointF xAxis(m.m11(), m.m12()), yAxis(m.m21(), m.m22());
    t.xs = std::hypot(xAxis.x(), xAxis.y());
    t.ys = std::hypot(yAxis.x(), yAxis.y());
    if (!(t.xs > 0) || !(t.ys > 0) || !std::isfinite(t.origin.x()) || !std::isfinite(t.origin.y()))
        return std::nullopt;
    QPointF xHat(1, 0), yHat(0, 1);
    if (run.advancedMode) {
        xHat = xAxis / t.xs;
        yHat = yAxis / t.ys;
        if (xHat.x() * yHat.y() - xHat.y() * yHat.x() < 0)
            yHat = -yHat;  // glyphs are never mirrored
    }
    const double angle = f.escapement / 10.0 * std::numbers::pi / 180;
    t.along = std::cos(angle) * xHat - std::sin(angle) * yHat;
    t.across = std::sin(angle) * xHat + std::cos(angle) * yHat;

    // The character height in pixels; a positive height is the cell's.
    double emPixels = defaultEmPixels;
    if (f.height < 0) {
        emPixels = -f.height * t.ys;
    } else if (f.height > 0) {
        const FontChoice& probe = chooseFont(f, probePixelSize);
        const double cell = probe.metrics.ascent() + probe.metrics.descent();
        emPixels = f.height * t.ys * (cell > 0 ? probePixelSize / cell : 1);
    }
    if (!(emPixels >= smallestEmPixels) || emPixels > largestEmPixels)
        return std::nullopt;
    const int pixelSize = std::max(1, static_cast<int>(std::lround(emPixels)));
    t.k = emPixels / pixelSize;
    t.choice = &chooseFont(f, pixelSize);

    if (f.width != 0) {
        const double average = averageCharacterWidth(t.choice->metrics, f.charset);
        if (average > 0)
            t.stretch = std::abs(f.width) * t.xs / (average * t.k);
    } else if (run.advancedMode) {
        t.stretch = t.xs / t.ys;
    }
    t.stretch = std::clamp(t.stretch, leastStretch, mostStretch);
    t.toText = t.xs / (t.k * t.stretch);
    return t;
}

Canvas::TextLayout Canvas::layOutText(const TextRun& run, const TextMeasure& t) const
{
    const QFontMetricsF& fm = t.choice->metrics;
    const QString& text = run.text;
    const auto n = static_cast<std::size_t>(text.size());
    TextLayout l;
    l.at.assign(n + 1, 0);
    l.rise.assign(n + 1, 0);
    const bool ownAdvances = run.advances.size() >= n;
    l.wholeString = !ownAdvances && dc_.textCharExtra == 0;
    if (l.wholeString) {
        l.at[n] = fm.horizontalAdvance(text);
    } else {
        for (std::size_t i = 0; i < n; ++i) {
            const auto u = static_cast<qsizetype>(i);
            double step;
            if (ownAdvances)
                step = run.advances[i] * t.toText;
            else
                step = (text[u].isLowSurrogate() ? 0 : fm.horizontalAdvance(text.mid(u, characterLength(text, u)))) +
                       dc_.textCharExtra * t.toText;
            l.at[i + 1] = l.at[i] + step;
            const double dy = i < run.rises.size() ? run.rises[i] : 0;
            l.rise[i + 1] = l.rise[i] - dy * t.ys / t.k;
        }
    }
    l.width = l.at[n];
    if ((dc_.textAlign & taCenter) == taCenter)
        l.u0 = -l.width / 2;
    else if (dc_.textAlign & taRight)
        l.u0 = -l.width;
    l.v0 = fm.ascent();
    if ((dc_.textAlign & taBaseline) == taBaseline)
        l.v0 = 0;
    else if (dc_.textAlign & taBottom)
        l.v0 = -fm.descent();
    l.toPixels = QTransform(t.along.x() * t.k * t.stretch, t.along.y() * t.k * t.stretch, t.across.x() * t.k,
                            t.across.y() * t.k, t.origin.x(), t.origin.y());
    l.cell = QRectF(l.u0, l.v0 - fm.ascent(), l.width, fm.ascent() + fm.descent());
    return l;
}

void Canvas::drawText(const TextRun& run, const TextMeasure& t, const TextLayout& l)
{
    const QString& text = run.text;
    // Each character at its own place, unless the string goes as one.
    auto eachCharacter = [&](auto&& draw) {
        if (l.wholeString) {
            draw(QPointF(l.u0, l.v0), text);
            return;
        }
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (text[i].isLowSurrogate())
                continue;
            const auto u = static_cast<std::size_t>(i);
            draw(QPointF(l.u0 + l.at[u], l.v0 + l.rise[u]), text.mid(i, characterLength(text, i)));
        }
    };
    if (pathOpen_) {
        QPainterPath outline;
        eachCharacter([&](QPointF at, const QString& s) { outline.addText(at, t.choice->font, s); });
        path_.addPath(l.toPixels.map(outline));
        figureOpen_ = false;
        return;
    }
    if (measuring_) {
        measure(l.toPixels.mapRect(l.cell));
        return;
    }
    charge(l.toPixels.mapRect(l.cell));

    QPainter& p = painter();
    if ((run.options & etoClipped) && run.rect) {
        p.setClipRegion(rectRegion(*run.rect), (dc_.clipped || dc_.metaClipped) ? Qt::IntersectClip : Qt::ReplaceClip);
        clipApplied_ = false;  // the record's own clip ends with it
    }
    p.setTransform(l.toPixels);
    if (dc_.bkMode == bkOpaque)
        p.fillRect(l.cell, dc_.bkColour);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    p.setFont(t.choice->font);
    p.setPen(dc_.textColour);
    eachCharacter([&](QPointF at, const QString& s) { p.drawText(at, s); });
}

// Bitmaps

void Canvas::blit(const Blit& b)
{
    if (pathOpen_)
        return;
    const unsigned index = (b.rop >> 16) & 0xff;
    if (index == 0xaa)  // the destination stays
        return;
    const QTransform m = logicalToPixels();
    if (!finiteTransform(m) || !finiteRect(b.destination))
        return;
    if (!ropUsesSource(index) || !b.source)
        blitWithoutSource(b, m);
    else
        blitSource(b, m);
}

void Canvas::blitWithoutSource(const Blit& b, const QTransform& m)
{
    // A pattern or constant over the destination rectangle.
    const unsigned index = (b.rop >> 16) & 0xff;
    QPainterPath box;
    box.addRect(b.destination.normalized());
    const QPainterPath pixels = m.map(box);
    if (measuring_) {
        measure(pixels.boundingRect());
        return;
    }
    charge(pixels.boundingRect());
    if (ropUsesSource(index))
        return;  // no bitmap to take
    if (index == 0xf0) {
        fillPixels(pixels, dc_.brush);
        return;
    }
    const QRect area = roundedRect(pixels.boundingRect()) & effectiveClip().boundingRect();
    if (area.isEmpty())
        return;
    QImage layer = blankLayer(area);
    Brush brush = dc_.brush;
    if (!ropUsesPattern(index) || brush.isNull())
        brush = Brush{};  // only coverage matters
    releasePainter();
    paintBrushLayer(layer, area.topLeft(), pixels, brush);
    combineLayer(layer, area.topLeft(), b.rop, false, nullptr);
}

// Where a blit's source pixels land: `t` maps the visible source rectangle
// to `bounds` in picture pixels.
struct Canvas::SourcePlacement {
    QTransform t;
    QRectF sourceRect;
    QRectF bounds;
    bool smooth = false;
};

void Canvas::blitSource(const Blit& b, const QTransform& m)
{
    // A source of negative extent mirrors: the same as a mirrored destination.
    QRectF wanted = b.sourceRect, destination = b.destination;
    if (wanted.width() < 0) {
        wanted = QRectF(wanted.right(), wanted.top(), -wanted.width(), wanted.height());
        destination = QRectF(destination.right(), destination.top(), -destination.width(), destination.height());
    }
    if (wanted.height() < 0) {
        wanted = QRectF(wanted.left(), wanted.bottom(), wanted.width(), -wanted.height());
        destination = QRectF(destination.left(), destination.bottom(), destination.width(), -destination.height());
    }
    SourcePlacement at;
    at.sourceRect = wanted & QRectF(b.source->rect());
    if (at.sourceRect.isEmpty() || wanted.width() == 0 || wanted.height() == 0)
        return;
    // Source pixels to logical, then to picture pixels.
    const double sx = destination.width() / wanted.width();
    const double sy = destination.height() / wanted.height();
    const QTransform sourceToLogical(sx, 0, 0, sy, destination.x() - wanted.x() * sx,
                                     destination.y() - wanted.y() * sy);
    at.t = sourceToLogical * m;
    if (!finiteTransform(at.t))
        return;
    at.bounds = at.t.mapRect(at.sourceRect);
    if (!finiteRect(at.bounds))
        return;
    if (measuring_) {
        measure(at.bounds);
        return;
    }
    charge(at.bounds);
    at.smooth = dc_.stretchMode == 4 && (std::abs(at.t.m11()) < 1 || std::abs(at.t.m22()) < 1);
    if (b.mask) {
        drawBlitSource(maskedSource(b, true), b.rop, at);
        drawBlitSource(maskedSource(b, false), b.ropBackground, at);
    } else {
        drawBlitSource(*b.source, b.rop, at);
    }
}

QImage Canvas::maskedSource(const Blit& b, bool wantSet)
{
    QImage masked = b.source->copy();
    for (int y = 0; y < masked.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(masked.scanLine(y));
        for (int x = 0; x < masked.width(); ++x) {
            const QPoint mp = QPointF(b.maskOrigin + QPointF(x - b.sourceRect.x(), y - b.sourceRect.y())).toPoint();
            const bool set = b.mask->valid(mp) && (qRed(b.mask->pixel(mp)) != 0);
            if (set != wantSet)
                row[x] = 0;
        }
    }
    return masked;
}

void Canvas::drawBlitSource(const QImage& source, std::uint32_t rop, const SourcePlacement& at)
{
    const unsigned ropIndex = (rop >> 16) & 0xff;
    if (ropIndex == 0xaa)
        return;
    if (ropIndex == 0xcc) {
        QPainter& p = painter();
        p.setRenderHint(QPainter::SmoothPixmapTransform, at.smooth);
        p.setTransform(at.t);
        p.drawImage(at.sourceRect.topLeft(), source, at.sourceRect);
        return;
    }
    const QRect area = roundedRect(at.bounds) & effectiveClip().boundingRect();
    if (area.isEmpty())
        return;
    releasePainter();
    QImage layer = blankLayer(area);
    {
        QPainter p(&layer);
        p.setClipRegion(effectiveClip().translated(-area.topLeft()));
        p.setRenderHint(QPainter::SmoothPixmapTransform, at.smooth);
        p.setTransform(at.t * QTransform::fromTranslate(-area.left(), -area.top()));
        p.drawImage(at.sourceRect.topLeft(), source, at.sourceRect);
    }
    std::unique_ptr<QImage> pattern;
    if (ropUsesPattern(ropIndex) && dc_.brush.style != bsSolid && !dc_.brush.isNull()) {
        pattern = std::make_unique<QImage>(blankLayer(area));
        QPainterPath box;
        box.addRect(QRectF(area));
        paintBrushLayer(*pattern, area.topLeft(), box, dc_.brush);
    }
    combineLayer(layer, area.topLeft(), rop, true, pattern.get());
}

bool Canvas::beginBlit(const QTransform& t, const QRectF& visible)
{
    if (!finiteTransform(t) || visible.isEmpty())
        return false;
    const QRectF footprint = t.mapRect(visible);
    if (measuring_) {
        measure(footprint);
        return false;
    }
    charge(footprint);
    return true;
}

void Canvas::alphaBlend(QRectF destination, const QImage& source, QRectF sourceRect, int constantAlpha,
                        bool perPixelAlpha)
{
    if (pathOpen_ || sourceRect.width() <= 0 || sourceRect.height() <= 0)
        return;
    const QTransform m = logicalToPixels();
    const double sx = destination.width() / sourceRect.width(), sy = destination.height() / sourceRect.height();
    const QTransform t = QTransform(sx, 0, 0, sy, destination.x() - sourceRect.x() * sx,
                                    destination.y() - sourceRect.y() * sy) * m;
    const QRectF visible = sourceRect & QRectF(source.rect());
    if (!beginBlit(t, visible))
        return;
    QImage image = source;
    if (perPixelAlpha) {
        // The bitmap's colours are premultiplied already.
        image = source.convertToFormat(QImage::Format_ARGB32);
        image.reinterpretAsFormat(QImage::Format_ARGB32_Premultiplied);
    }
    QPainter& p = painter();
    p.setOpacity(std::clamp(constantAlpha, 0, 255) / 255.0);
    p.setTransform(t);
    p.drawImage(visible.topLeft(), image, visible);
}

void Canvas::plgBlit(const QPointF corners[3], const QImage& source, QRectF sourceRect, const QImage* mask,
                     QPointF maskOrigin)
{
    if (pathOpen_ || sourceRect.width() <= 0 || sourceRect.height() <= 0)
        return;
    const QPointF u = (corners[1] - corners[0]) / sourceRect.width();
    const QPointF v = (corners[2] - corners[0]) / sourceRect.height();
    const QTransform toLogical(u.x(), u.y(), v.x(), v.y(),
                               corners[0].x() - sourceRect.x() * u.x() - sourceRect.y() * v.x(),
                               corners[0].y() - sourceRect.x() * u.y() - sourceRect.y() * v.y());
    const QTransform t = toLogical * logicalToPixels();
    const QRectF visible = sourceRect & QRectF(source.rect());
    if (!beginBlit(t, visible))
        return;
    QImage image = source;
    if (mask) {
        image = source.copy();
        for (int y = 0; y < image.height(); ++y) {
            auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                const QPoint mp = QPointF(maskOrigin + QPointF(x - sourceRect.x(), y - sourceRect.y())).toPoint();
                if (!mask->valid(mp) || qRed(mask->pixel(mp)) == 0)
                    row[x] = 0;
            }
        }
    }
    QPainter& p = painter();
    p.setTransform(t);
    p.drawImage(visible.topLeft(), image, visible);
}

void Canvas::gradientRect(QRectF box, const QColor& from, const QColor& to, bool vertical)
{
    if (pathOpen_)
        return;
    const QTransform m = logicalToPixels();
    QPainterPath shape;
    shape.addRect(box);
    const QPainterPath pixels = m.map(shape);
    if (!finiteRect(pixels.boundingRect()))
        return;
    if (measuring_) {
        measure(pixels.boundingRect());
        return;
    }
    charge(pixels.boundingRect());
    const QPointF start = m.map(box.topLeft());
    const QPointF end = m.map(vertical ? QPointF(box.left(), box.bottom()) : QPointF(box.right(), box.top()));
    QLinearGradient gradient(start, end);
    gradient.setColorAt(0, from);
    gradient.setColorAt(1, to);
    painter().fillPath(pixels, QBrush(gradient));
}

void Canvas::gradientTriangle(const QPointF points[3], const QColor colours[3])
{
    if (pathOpen_)
        return;
    const QTransform m = logicalToPixels();
    const QPointF a = m.map(points[0]), b = m.map(points[1]), c = m.map(points[2]);
    const QRectF bounds = QPolygonF{a, b, c}.boundingRect();
    if (!finiteRect(bounds))
        return;
    if (measuring_) {
        measure(bounds);
        return;
    }
    charge(bounds);
    const QRect area = roundedRect(bounds.adjusted(0, 0, 1, 1)) & canvasRect();
    const double det = (b.y() - c.y()) * (a.x() - c.x()) + (c.x() - b.x()) * (a.y() - c.y());
    if (area.isEmpty() || det == 0)
        return;
    QImage layer = blankLayer(area);
    for (int y = 0; y < area.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(layer.scanLine(y));
        const double py = area.top() + y + 0.5;
        for (int x = 0; x < area.width(); ++x) {
            const double px = area.left() + x + 0.5;
            const double l0 = ((b.y() - c.y()) * (px - c.x()) + (c.x() - b.x()) * (py - c.y())) / det;
            const double l1 = ((c.y() - a.y()) * (px - c.x()) + (a.x() - c.x()) * (py - c.y())) / det;
            const double l2 = 1 - l0 - l1;
            if (l0 < 0 || l1 < 0 || l2 < 0)
                continue;
            auto mix = [&](int (QColor::*channel)() const) {
                return std::clamp(static_cast<int>(std::lround((colours[0].*channel)() * l0 + (colours[1].*channel)() * l1 +
                                                               (colours[2].*channel)() * l2)),
                                  0, 255);
            };
            row[x] = qRgb(mix(&QColor::red), mix(&QColor::green), mix(&QColor::blue));
        }
    }
    painter().drawImage(area.topLeft(), layer);
}

// Regions and clipping

QRegion Canvas::regionFromPixels(const QPolygonF& polygon) const
{
    QPolygon points;
    points.reserve(polygon.size());
    for (const QPointF& p : polygon)
        points << QPoint(static_cast<int>(std::lround(clampCoordinate(p.x()))),
                         static_cast<int>(std::lround(clampCoordinate(p.y()))));
    return QRegion(points, Qt::OddEvenFill);
}

QRegion Canvas::rectRegion(QRectF logicalBox) const
{
    const QTransform m = logicalToPixels();
    if (m.type() <= QTransform::TxScale)
        return QRegion(roundedRect(m.mapRect(logicalBox.normalized())));
    return regionFromPixels(m.map(QPolygonF(logicalBox.normalized())));
}

QRegion Canvas::pixelRegion(const Region& region, bool logical) const
{
    const QTransform t = logical ? logicalToPixels() : device_.toPixels;
    if (!finiteTransform(t))
        return QRegion();
    if (t.type() <= QTransform::TxScale) {
        std::vector<QRect> rects;
        rects.reserve(region.rects.size());
        for (const QRectF& r : region.rects)
            rects.push_back(roundedRect(t.mapRect(r.normalized())));
        return uniteAll(rects);
    }
    std::vector<QRegion> turned;
    turned.reserve(region.rects.size());
    for (const QRectF& r : region.rects)
        turned.push_back(regionFromPixels(t.map(QPolygonF(r.normalized()))));
    return uniteAll(turned);
}

void Canvas::fillRegion(const QRegion& pixels, const Brush& brush)
{
    if (pathOpen_ || brush.isNull())
        return;
    QPainterPath path;
    path.addRegion(pixels);
    fillPixels(path, brush);
}

void Canvas::frameRegion(const QRegion& pixels, const Brush& brush, QSizeF stroke)
{
    const QTransform m = logicalToPixels();
    const int w = std::clamp(static_cast<int>(std::lround(std::abs(stroke.width() * m.m11()))), 1, 10000);
    const int h = std::clamp(static_cast<int>(std::lround(std::abs(stroke.height() * m.m22()))), 1, 10000);
    const QRegion inner = pixels & pixels.translated(w, 0) & pixels.translated(-w, 0) & pixels.translated(0, h) &
                          pixels.translated(0, -h);
    fillRegion(pixels - inner, brush);
}

void Canvas::invertRegion(const QRegion& pixels)
{
    if (pathOpen_)
        return;
    if (measuring_) {
        measure(pixels.boundingRect());
        return;
    }
    charge(pixels.boundingRect());
    const QRect area = pixels.boundingRect() & effectiveClip().boundingRect();
    if (area.isEmpty())
        return;
    QImage layer = blankLayer(area);
    {
        QPainter p(&layer);
        p.setClipRegion(effectiveClip().translated(-area.topLeft()));
        p.translate(-area.topLeft());
        QPainterPath path;
        path.addRegion(pixels);
        p.fillPath(path, Qt::white);
    }
    combineLayer(layer, area.topLeft(), 0x00550009, false, nullptr);
}

void Canvas::intersectClipRect(QRectF box)
{
    if (measuring_)
        return;
    selectClip(rectRegion(box), rgnAnd);
}

void Canvas::excludeClipRect(QRectF box)
{
    if (measuring_)
        return;
    selectClip(rectRegion(box), rgnDiff);
}

void Canvas::offsetClip(QPointF offset)
{
    if (!dc_.clipped)
        return;
    const QTransform m = logicalToPixels();
    const QPointF v = m.map(offset) - m.map(QPointF(0, 0));
    dc_.clip.translate(static_cast<int>(std::lround(clampCoordinate(v.x()))),
                       static_cast<int>(std::lround(clampCoordinate(v.y()))));
    clipApplied_ = false;
}

void Canvas::selectClip(const std::optional<QRegion>& pixels, int mode)
{
    if (measuring_)
        return;
    if (!pixels) {
        if (mode == rgnCopy) {
            dc_.clipped = false;
            dc_.clip = QRegion();
            clipApplied_ = false;
        }
        return;
    }
    // Without a clip region the whole picture stands for it.
    const QRegion current = dc_.clipped ? dc_.clip : QRegion(canvasRect());
    switch (mode) {
    case rgnAnd: dc_.clip = current & *pixels; break;
    case rgnOr: dc_.clip = current | *pixels; break;
    case rgnXor: dc_.clip = current ^ *pixels; break;
    case rgnDiff: dc_.clip = current - *pixels; break;
    case rgnCopy: dc_.clip = *pixels; break;
    default: return;
    }
    dc_.clipped = true;
    clipApplied_ = false;
}

void Canvas::setMetaRegion()
{
    if (measuring_)
        return;
    if (dc_.clipped) {
        dc_.metaClip = dc_.metaClipped ? (dc_.metaClip & dc_.clip) : dc_.clip;
        dc_.metaClipped = true;
    }
    dc_.clipped = false;
    dc_.clip = QRegion();
    clipApplied_ = false;
}

}  // namespace clipora::metafile
