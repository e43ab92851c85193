#pragma once
// Writes small WMF and EMF files record by record, and DIBs to put in
// them, for the metafile player's tests.

#include <QRgb>

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

namespace clipora::test {

using Bytes = std::vector<std::uint8_t>;

inline void put8(Bytes& b, int v) { b.push_back(static_cast<std::uint8_t>(v)); }
inline void put16(Bytes& b, int v)
{
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}
inline void put32(Bytes& b, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
inline void putFloat(Bytes& b, float f)
{
    std::uint32_t v;
    std::memcpy(&v, &f, 4);
    put32(b, v);
}
inline void append(Bytes& b, const Bytes& more) { b.insert(b.end(), more.begin(), more.end()); }
// A COLORREF.
inline std::uint32_t ref(int r, int g, int b) { return static_cast<std::uint32_t>(r | (g << 8) | (b << 16)); }

// A DIB: its header with colour table, and its pixel bits.
struct DibParts {
    Bytes info;
    Bytes bits;
    Bytes packed() const
    {
        Bytes all = info;
        append(all, bits);
        return all;
    }
};

// BITMAPINFOHEADER, colour table (RGB), then `bits` as given.
inline DibParts makeDib(int width, int height, int bitCount, const std::vector<QRgb>& table, const Bytes& bits,
                        int compression = 0)
{
    DibParts d;
    put32(d.info, 40);
    put32(d.info, static_cast<std::uint32_t>(width));
    put32(d.info, static_cast<std::uint32_t>(height));
    put16(d.info, 1);
    put16(d.info, bitCount);
    put32(d.info, static_cast<std::uint32_t>(compression));
    put32(d.info, static_cast<std::uint32_t>(bits.size()));
    put32(d.info, 3780);
    put32(d.info, 3780);
    put32(d.info, static_cast<std::uint32_t>(table.size()));
    put32(d.info, 0);
    for (QRgb c : table) {
        put8(d.info, qBlue(c));
        put8(d.info, qGreen(c));
        put8(d.info, qRed(c));
        put8(d.info, 0);
    }
    d.bits = bits;
    return d;
}

// A placeable WMF whose box is (0, 0)-(right, bottom) in `inch` units per inch.
class WmfWriter {
public:
    WmfWriter(int right, int bottom, int inch = 96, bool placeable = true)
        : right_(right), bottom_(bottom), inch_(inch), placeable_(placeable)
    {
    }

    void add(std::uint16_t function, std::initializer_list<int> words)
    {
        Bytes params;
        for (int w : words)
            put16(params, w);
        add(function, params);
    }
    void add(std::uint16_t function, const Bytes& params)
    {
        Bytes p = params;
        if (p.size() % 2)
            p.push_back(0);
        put32(records_, static_cast<std::uint32_t>(3 + p.size() / 2));
        put16(records_, function);
        append(records_, p);
    }
    // Records exactly as given, for broken ones.
    void raw(const Bytes& bytes) { append(records_, bytes); }

    Bytes bytes(bool withEof = true) const
    {
        Bytes out;
        if (placeable_) {
            put32(out, 0x9AC6CDD7);
            put16(out, 0);
            put16(out, 0);
            put16(out, 0);
            put16(out, right_);
            put16(out, bottom_);
            put16(out, inch_);
            put32(out, 0);
            put16(out, 0);  // checksum, not checked
        }
        Bytes body = records_;
        if (withEof) {
            put32(body, 3);
            put16(body, 0);
        }
        put16(out, 1);
        put16(out, 9);
        put16(out, 0x0300);
        put32(out, static_cast<std::uint32_t>(9 + body.size() / 2));
        put16(out, 8);  // objects
        put32(out, 100);
        put16(out, 0);
        append(out, body);
        return out;
    }

private:
    Bytes records_;
    int right_, bottom_, inch_;
    bool placeable_;
};

// WMF record functions the tests use.
enum : std::uint16_t {
    wmfSaveDc = 0x001E, wmfSetBkMode = 0x0102, wmfSetMapMode = 0x0103, wmfSetRop2 = 0x0104,
    wmfRestoreDc = 0x0127, wmfSelectClipRegion = 0x012C, wmfSelectObject = 0x012D, wmfSetTextAlign = 0x012E,
    wmfDeleteObject = 0x01F0, wmfSetBkColor = 0x0201, wmfSetTextColor = 0x0209, wmfSetWindowOrg = 0x020B,
    wmfSetWindowExt = 0x020C, wmfLineTo = 0x0213, wmfMoveTo = 0x0214, wmfCreatePen = 0x02FA,
    wmfCreateFont = 0x02FB, wmfCreateBrush = 0x02FC, wmfPolygon = 0x0324, wmfExcludeClipRect = 0x0415,
    wmfIntersectClipRect = 0x0416, wmfEllipse = 0x0418, wmfRectangle = 0x041B, wmfTextOut = 0x0521,
    wmfPatBlt = 0x061D, wmfCreateRegion = 0x06FF, wmfPie = 0x081A, wmfExtTextOut = 0x0A32,
    wmfStretchDib = 0x0F43,
};

inline Bytes wmfBrush(int style, std::uint32_t colour, int hatch = 0)
{
    Bytes p;
    put16(p, style);
    put32(p, colour);
    put16(p, hatch);
    return p;
}

inline Bytes wmfPen(int style, int width, std::uint32_t colour)
{
    Bytes p;
    put16(p, style);
    put16(p, width);
    put16(p, 0);
    put32(p, colour);
    return p;
}

// LOGFONT of a WMF record; the face in the bytes of the font's character set.
inline Bytes wmfFont(int height, int charset, const std::string& faceBytes, int weight = 400)
{
    Bytes p;
    put16(p, height);
    put16(p, 0);
    put16(p, 0);
    put16(p, 0);
    put16(p, weight);
    put8(p, 0);
    put8(p, 0);
    put8(p, 0);
    put8(p, charset);
    put8(p, 0);
    put8(p, 0);
    put8(p, 0);
    put8(p, 0);
    for (char c : faceBytes)
        put8(p, static_cast<unsigned char>(c));
    put8(p, 0);
    return p;
}

// META_STRETCHDIB of a whole DIB to (x, y, w, h).
inline Bytes stretchDibParams(int x, int y, int w, int h, int srcW, int srcH, std::uint32_t rop, const DibParts& dib,
                           int srcX = 0, int srcY = 0)
{
    Bytes p;
    put32(p, rop);
    put16(p, 0);
    put16(p, srcH);
    put16(p, srcW);
    put16(p, srcY);
    put16(p, srcX);
    put16(p, h);
    put16(p, w);
    put16(p, y);
    put16(p, x);
    append(p, dib.packed());
    return p;
}

// An EMF whose frame is width x height pixels at 96 dots per inch, with
// device units of one pixel.
class EmfWriter {
public:
    EmfWriter(int width, int height) : width_(width), height_(height) {}

    void add(std::uint32_t type, const Bytes& payload)
    {
        Bytes p = payload;
        while (p.size() % 4)
            p.push_back(0);
        put32(records_, type);
        put32(records_, static_cast<std::uint32_t>(8 + p.size()));
        append(records_, p);
        ++count_;
    }
    void add(std::uint32_t type, std::initializer_list<std::int32_t> values)
    {
        Bytes p;
        for (std::int32_t v : values)
            put32(p, static_cast<std::uint32_t>(v));
        add(type, p);
    }
    void raw(const Bytes& bytes) { append(records_, bytes); }

    Bytes bytes(bool withEof = true) const
    {
        Bytes body = records_;
        if (withEof) {
            put32(body, 14);
            put32(body, 20);
            put32(body, 0);
            put32(body, 16);
            put32(body, 20);
        }
        Bytes out;
        put32(out, 1);
        put32(out, 108);
        for (int v : {0, 0, width_ - 1, height_ - 1})
            put32(out, static_cast<std::uint32_t>(v));
        // The frame in 0.01 mm: 2540 per 96 pixels.
        for (int v : {0, 0, width_ * 2540 / 96, height_ * 2540 / 96})
            put32(out, static_cast<std::uint32_t>(v));
        put32(out, 0x464D4520);
        put32(out, 0x10000);
        put32(out, static_cast<std::uint32_t>(108 + body.size()));
        put32(out, static_cast<std::uint32_t>(count_ + 2));
        put16(out, 16);  // handles
        put16(out, 0);
        put32(out, 0);
        put32(out, 0);
        put32(out, 0);
        put32(out, 960);  // device: 960 pixels on 254 mm is 96 dots per inch
        put32(out, 960);
        put32(out, 254);
        put32(out, 254);
        put32(out, 0);
        put32(out, 0);
        put32(out, 0);
        put32(out, 254000);
        put32(out, 254000);
        append(out, body);
        return out;
    }

private:
    Bytes records_;
    int width_, height_;
    int count_ = 0;
};

enum : std::uint32_t {
    emrPolygon16 = 86, emrSetWorldTransform = 35, emrSelectObject = 37, emrCreateBrush = 39, emrCreatePen = 38,
    emrDeleteObject = 40, emrRectangle = 43, emrEllipse = 42, emrPie = 47, emrBeginPath = 59, emrEndPath = 60,
    emrCloseFigure = 61, emrFillPath = 62, emrMoveTo = 27, emrLineTo = 54, emrExtSelectClipRgn = 75,
    emrStretchDiBits = 81, emrExtCreateFont = 82, emrExtTextOutW = 84, emrSetTextAlign = 22, emrSetBkMode = 18,
    emrSetTextColor = 24, emrSetMapMode = 17, emrSetWindowExt = 9, emrSetViewportExt = 11, emrAlphaBlend = 114,
    emrGradientFill = 118, emrSaveDc = 33, emrRestoreDc = 34, emrIntersectClipRect = 30,
};

// EMR_STRETCHDIBITS of `dib` to (x, y, w, h).
inline Bytes emfStretchDib(int x, int y, int w, int h, int srcX, int srcY, int srcW, int srcH, std::uint32_t rop,
                           const DibParts& dib)
{
    Bytes p;
    for (int v : {0, 0, 0, 0, x, y, srcX, srcY, srcW, srcH})
        put32(p, static_cast<std::uint32_t>(v));
    const std::uint32_t offBmi = 80;
    put32(p, offBmi);
    put32(p, static_cast<std::uint32_t>(dib.info.size()));
    put32(p, offBmi + static_cast<std::uint32_t>(dib.info.size()));
    put32(p, static_cast<std::uint32_t>(dib.bits.size()));
    put32(p, 0);
    put32(p, rop);
    put32(p, static_cast<std::uint32_t>(w));
    put32(p, static_cast<std::uint32_t>(h));
    append(p, dib.info);
    append(p, dib.bits);
    return p;
}

// EMR_EXTCREATEFONTINDIRECTW with a UTF-16 face.
inline Bytes emfFont(int index, int height, int charset, const std::u16string& face, int escapement = 0)
{
    Bytes p;
    put32(p, static_cast<std::uint32_t>(index));
    for (int v : {height, 0, escapement, escapement, 400})
        put32(p, static_cast<std::uint32_t>(v));
    put8(p, 0);
    put8(p, 0);
    put8(p, 0);
    put8(p, charset);
    put8(p, 0);
    put8(p, 0);
    put8(p, 0);
    put8(p, 0);
    for (int i = 0; i < 32; ++i)
        put16(p, i < static_cast<int>(face.size()) ? face[static_cast<std::size_t>(i)] : 0);
    return p;
}

// EMR_EXTTEXTOUTW of `text` at (x, y), without advances.
inline Bytes emfText(int x, int y, const std::u16string& text)
{
    Bytes p;
    for (int v : {0, 0, 0, 0})
        put32(p, static_cast<std::uint32_t>(v));
    put32(p, 1);  // compatible graphics mode
    putFloat(p, 1);
    putFloat(p, 1);
    put32(p, static_cast<std::uint32_t>(x));
    put32(p, static_cast<std::uint32_t>(y));
    put32(p, static_cast<std::uint32_t>(text.size()));
    put32(p, 76);  // string right after the fixed part
    put32(p, 0);   // options
    for (int v : {0, 0, 0, 0})
        put32(p, static_cast<std::uint32_t>(v));
    put32(p, 0);  // no advances
    for (char16_t c : text)
        put16(p, c);
    return p;
}

}  // namespace clipora::test
