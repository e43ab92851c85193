#pragma once
// The resize dialog's picture computations, without any window: bilinear
// enlargement (`zoomup`), area-averaging reduction (`zoomdown`) and rotation
// about the centre (`rotate`, with its bounding size `rotatedsize`).
//
// Every result is defined to the last bit. Each real expression is evaluated
// in double precision, left to right as written, with differences of channel
// values formed as integers first; every channel value is rounded by
// `roundHalfEven` (halves to the even neighbour) and clamped into a byte.
// The fast paths (vector code chosen at run time) give the same bytes as the
// plain per-pixel evaluation.
//
// Colours are the dialog's colour values (`ColourValue`, 0x00BBGGRR: red in
// the low byte). Bitmaps hold blue, green, red per pixel.

#include <cstdint>
#include <functional>

#include "imaging/bitmap24.h"
#include "imaging/colour.h"

namespace clipora::zoom {

// Called once for every target row y, in order, with R((y + 1) / newy x 100),
// so the last call reports 100: zoomup and zoomdown call it as each row is
// finished; rotate, which works through the target in bands of 32 rows,
// calls it for the rows of a band when the band is finished. May be empty.
using Progress = std::function<void(int percent)>;

// The transparent colour option of the dialog.
struct Transparency {
    // The box "透明色" is ticked: neighbours of `colour` count as absent
    // (enlargement, rotation) or are left out of the mean (reduction).
    bool on = false;
    // The transparent colour T. Also the colour of every refused pixel of an
    // enlargement or reduction, so it matters when `on` is false too.
    ColourValue colour;
    // The selection rate F (the field "fill"), not clamped: a pixel is taken
    // from the picture when A = R(coverage x 100) >= 100 - F and A >= 1. A
    // negative rate refuses every pixel.
    int rate = 50;
};

// R: v rounded to the nearest integer, halves to the even neighbour
// (R(2.5) = 2, R(3.5) = 4, R(-0.5) = 0). v must lie within the int range.
int roundHalfEven(double v);

// `nbvalid`: the four neighbour flags of one target pixel, one bit each,
// set when the neighbour is present.
using Nbvalid = unsigned;
inline constexpr Nbvalid nbP00 = 1;  // top-left
inline constexpr Nbvalid nbP10 = 2;  // top-right
inline constexpr Nbvalid nbP01 = 4;  // bottom-left
inline constexpr Nbvalid nbP11 = 8;  // bottom-right
inline constexpr Nbvalid nbAll = 15;

// One channel of one target pixel from the channel values of its present
// neighbours (absent ones are ignored) at the fractions fx, fy in [0, 1):
// bilinear with four, the plane through three, the line through two, the one
// value with one. The result is rounded with roundHalfEven and clamped into
// 0..255 (the plane through three can leave that range). With no neighbour
// present the result is 0; the acceptance rule never asks for it.
int zoomcalc(int p00, int p10, int p01, int p11, double fx, double fy, Nbvalid nbvalid);

// The part of the target pixel covered by present neighbours:
// f00 (1 - fx)(1 - fy) + f10 fx (1 - fy) + f01 (1 - fx) fy + f11 fx fy.
double coverage(Nbvalid nbvalid, double fx, double fy);

// The acceptance rule: A = R(coverage x 100); true when A >= 100 - rate and
// A >= 1. Formed without overflow for any rate.
bool accepted(double coverage, int rate);

// Bilinear enlargement of `source` (W x H) into `target` (newx x newy, its
// present size), sampling pixel centres: sx = (x + 0.5) W / newx - 0.5, the
// neighbours clamped to the picture's edges. With transparency on, the
// neighbours of the transparent colour are absent; a pixel that the
// acceptance rule refuses takes the transparent colour. Every target pixel
// is written. Any sizes work (the dialog uses it when no side shrinks).
// Does nothing when the target is empty; throws std::invalid_argument when
// the source is empty and the target is not.
void zoomup(const Bitmap24& source, Bitmap24& target, const Transparency& transparency,
            const Progress& progress = {});

// Area-averaging reduction of `source` (W x H) into `target` (newx x newy):
// each target pixel is the mean of the source pixels under its footprint
// x W / newx .. (x + 1) W / newx - 0.000001 (likewise down), weighted by the
// part covered, divided by the footprint's area
// float(W H / (newx newy)). With transparency on, source pixels of the
// transparent colour are left out and their weight is taken off the area (in
// single precision); coverage = remaining weight / area decides by the
// acceptance rule between the mean and the transparent colour. Any sizes
// work (the dialog uses it when a side shrinks). Empty bitmaps as zoomup.
void zoomdown(const Bitmap24& source, Bitmap24& target, const Transparency& transparency,
              const Progress& progress = {});

// The dialog's choice between the two for a width x height picture and a new
// size newx x newy: reduction (zoomdown) when any side shrinks, also when the
// other grows; enlargement (zoomup) otherwise.
constexpr bool reduces(int width, int height, int newx, int newy)
{
    return newx < width || newy < height;
}

struct Size {
    int width;
    int height;
    friend bool operator==(const Size&, const Size&) = default;
};

// The angle of the dialog's two fields, in radians:
// (degree + hundredths / 100) x pi / 180. The hundredths are always added:
// -30 and 50 give -29.5 degrees.
double rotationangle(int degree, int hundredths);

// The size that holds a W x H picture turned by `angle` radians:
// ceil(max(|c W - s H|, |c W + s H|)) by ceil(max(|s W - c H|, |s W + c H|))
// with c = cos angle, s = sin angle. No snapping at right angles: 200 x 100
// at 90 degrees gives 101 x 200.
Size rotatedsize(int width, int height, double angle);

// Rotation about the centre, clockwise on the screen for a positive angle
// (radians). Each target pixel is sampled backwards from the source with the
// bilinear rule of zoomup; neighbours outside the picture are absent and have
// the gap colour. With `noFrameCorrection` (the box "枠補正なし", the dialog's
// default) the acceptance rule decides at the border between the picture
// and the gap colour; without it every neighbour counts as present, so the
// border blends into the gap colour (and transparency has no effect). A
// refused pixel takes the gap colour. The target keeps its size (normally
// rotatedsize of the source). Empty bitmaps as zoomup.
void rotate(const Bitmap24& source, Bitmap24& target, double angle, ColourValue gapColour,
            bool noFrameCorrection, const Transparency& transparency, const Progress& progress = {});

}  // namespace clipora::zoom
