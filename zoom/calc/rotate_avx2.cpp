// Rotation with AVX2.
//
// Eight target pixels of a row at a time have their source positions
// computed exactly as in the plain code; pixels whose four neighbours all lie
// in the picture read them as two eight-byte pairs (and ask for the lines of
// the pixels rotationRowsAhead rows below) and are interpolated in single
// precision, kept where every value lies provably far from a half (see
// rotationScreenMargin). Chunks with a value near a half, and every chunk
// where the screen sends back too many, are interpolated four pixels at a
// time in double precision with the plain code's operations from gathered
// neighbours. Pixels whose neighbours all lie outside take the gap colour
// (coverage 0 without frame correction, four gap colours with it). The few
// others (the picture's border, neighbours of the transparent colour) are
// computed one by one by the exact per-pixel rule.

#include <climits>
#include <cstdint>
#include <cstring>
#include <optional>

#include "zoom/calc/avx2.h"
#include "zoom/calc/kernels.h"

namespace clipora::zoom::detail {

#if CLIPORA_ZOOM_AVX2

namespace {

constexpr int lanes = 4;

struct RowContext {
    const Bitmap24& source;
    const RotatePlan& plan;
    const Transparency& transparency;
    const double* cdx;  // padded to whole chunks
    const double* sdx;
    int lastSafe;  // the largest byte offset from which 8 bytes of the row below can still be read
    int lastSafe8;  // likewise for an eight-byte read of each of the two rows, as one number
    int ahead;      // rotationAhead
};

// One channel of four pixels: ((p00 + fx d10) + fy d01) + (fx fy) d11.
CLIPORA_AVX2 inline __m128i bilinear(__m128i p00, __m128i p10, __m128i p01, __m128i p11, __m256d fx, __m256d fy,
                                     __m256d fxfy)
{
    const __m128i d10 = _mm_sub_epi32(p10, p00);
    const __m128i d01 = _mm_sub_epi32(p01, p00);
    const __m128i d11 = _mm_sub_epi32(_mm_sub_epi32(_mm_add_epi32(p00, p11), p10), p01);
    __m256d v = _mm256_add_pd(_mm256_cvtepi32_pd(p00), _mm256_mul_pd(fx, _mm256_cvtepi32_pd(d10)));
    v = _mm256_add_pd(v, _mm256_mul_pd(fy, _mm256_cvtepi32_pd(d01)));
    v = _mm256_add_pd(v, _mm256_mul_pd(fxfy, _mm256_cvtepi32_pd(d11)));
    return _mm256_cvtpd_epi32(v);
}

CLIPORA_AVX2 inline void storePixels(std::uint8_t* out, __m128i pixel, int n)
{
    const __m128i pack = _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    alignas(16) std::uint8_t bytes[16];
    _mm_store_si128(reinterpret_cast<__m128i*>(bytes), _mm_shuffle_epi8(pixel, pack));
    std::memcpy(out, bytes, static_cast<std::size_t>(3 * n));
}

// Returns the lanes left for the exact per-pixel rule.
CLIPORA_AVX2 __attribute__((always_inline)) inline unsigned rotateChunk(const RowContext& rc, int x, int y,
                                                                      std::uint8_t* out)
{
    const RotatePlan& plan = rc.plan;
    const __m256d sx = _mm256_add_pd(_mm256_add_pd(_mm256_loadu_pd(rc.cdx + x), _mm256_set1_pd(plan.sdy[y])),
                                     _mm256_set1_pd(plan.offsetX));
    const __m256d negSdx = _mm256_xor_pd(_mm256_loadu_pd(rc.sdx + x), _mm256_set1_pd(-0.0));
    const __m256d sy =
        _mm256_add_pd(_mm256_add_pd(negSdx, _mm256_set1_pd(plan.cdy[y])), _mm256_set1_pd(plan.offsetY));
    const __m256d floorX = _mm256_floor_pd(sx);
    const __m256d floorY = _mm256_floor_pd(sy);
    const __m256d fx = _mm256_sub_pd(sx, floorX), fy = _mm256_sub_pd(sy, floorY);
    // Out-of-range positions convert to INT_MIN and count as outside.
    const __m128i x0 = _mm256_cvttpd_epi32(floorX), y0 = _mm256_cvttpd_epi32(floorY);
    const int w = plan.srcWidth, h = plan.srcHeight;
    const __m128i minusOne = _mm_set1_epi32(-1);
    const __m128i inside = _mm_andnot_si128(
        _mm_or_si128(_mm_or_si128(_mm_cmpgt_epi32(_mm_setzero_si128(), x0), _mm_cmpgt_epi32(x0, _mm_set1_epi32(w - 2))),
                     _mm_or_si128(_mm_cmpgt_epi32(_mm_setzero_si128(), y0), _mm_cmpgt_epi32(y0, _mm_set1_epi32(h - 2)))),
        minusOne);
    const __m128i outsideLanes =
        _mm_or_si128(_mm_or_si128(_mm_cmpgt_epi32(minusOne, x0), _mm_cmpgt_epi32(x0, _mm_set1_epi32(w - 1))),
                     _mm_or_si128(_mm_cmpgt_epi32(minusOne, y0), _mm_cmpgt_epi32(y0, _mm_set1_epi32(h - 1))));
    const unsigned outside = static_cast<unsigned>(_mm_movemask_ps(_mm_castsi128_ps(outsideLanes)));
    const int n = std::min(lanes, plan.width - x);
    const unsigned present = (1u << n) - 1;
    const __m128i gap = _mm_set1_epi32(static_cast<int>(plan.gap.packed()));
    if ((static_cast<unsigned>(_mm_movemask_ps(_mm_castsi128_ps(inside))) & present) == 0) {
        storePixels(out, gap, n);
        return present & ~outside;
    }
    // p00 and p10 are read as four bytes each (likewise p01 and p11); the
    // last may lie past the bitmap's end, so lanes that would read there are
    // left out.
    const int stride = static_cast<int>(rc.source.stride());
    const __m128i offset =
        _mm_add_epi32(_mm_mullo_epi32(y0, _mm_set1_epi32(stride)), _mm_mullo_epi32(x0, _mm_set1_epi32(3)));
    const __m128i gatheredLanes = _mm_andnot_si128(_mm_cmpgt_epi32(offset, _mm_set1_epi32(rc.lastSafe)), inside);
    const int* base = reinterpret_cast<const int*>(rc.source.data());
    const int* below = reinterpret_cast<const int*>(rc.source.data() + stride);
    const __m128i zero = _mm_setzero_si128();
    const __m128i offsetRight = _mm_add_epi32(offset, _mm_set1_epi32(3));
    const __m128i q00 = _mm_mask_i32gather_epi32(zero, base, offset, gatheredLanes, 1);
    const __m128i q10 = _mm_mask_i32gather_epi32(zero, base, offsetRight, gatheredLanes, 1);
    const __m128i q01 = _mm_mask_i32gather_epi32(zero, below, offset, gatheredLanes, 1);
    const __m128i q11 = _mm_mask_i32gather_epi32(zero, below, offsetRight, gatheredLanes, 1);
    alignas(16) std::int32_t ahead[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(ahead),
                    _mm_and_si128(_mm_add_epi32(offset, _mm_set1_epi32(rc.ahead)), gatheredLanes));
    for (int k = 0; k < lanes; k += 2)
        prefetchPixelPair(reinterpret_cast<std::uintptr_t>(rc.source.data()) + static_cast<std::uint32_t>(ahead[k]),
                          rc.source.stride());
    __m128i interpolated = gatheredLanes, hidden = zero;
    if (rc.transparency.on && plan.noFrameCorrection) {
        const __m128i low3 = _mm_set1_epi32(0xFFFFFF);
        const __m128i key = _mm_set1_epi32(static_cast<int>(Bgr(rc.transparency.colour).packed()));
        const __m128i k00 = _mm_cmpeq_epi32(_mm_and_si128(q00, low3), key);
        const __m128i k10 = _mm_cmpeq_epi32(_mm_and_si128(q10, low3), key);
        const __m128i k01 = _mm_cmpeq_epi32(_mm_and_si128(q01, low3), key);
        const __m128i k11 = _mm_cmpeq_epi32(_mm_and_si128(q11, low3), key);
        // Some neighbours transparent: per pixel. All four: coverage 0, the gap colour.
        interpolated = _mm_andnot_si128(_mm_or_si128(_mm_or_si128(k00, k10), _mm_or_si128(k01, k11)), gatheredLanes);
        hidden = _mm_and_si128(gatheredLanes, _mm_and_si128(_mm_and_si128(k00, k10), _mm_and_si128(k01, k11)));
    }
    const __m256d fxfy = _mm256_mul_pd(fx, fy);
    const __m128i byte = _mm_set1_epi32(0xFF);
    __m128i pixel = zero;
    for (int c = 0; c < 3; ++c) {
        const int shift = 8 * c;
        // With four neighbours present the value stays within 0 .. 255.
        const __m128i v = bilinear(_mm_and_si128(_mm_srli_epi32(q00, shift), byte),
                                   _mm_and_si128(_mm_srli_epi32(q10, shift), byte),
                                   _mm_and_si128(_mm_srli_epi32(q01, shift), byte),
                                   _mm_and_si128(_mm_srli_epi32(q11, shift), byte), fx, fy, fxfy);
        pixel = _mm_or_si128(pixel, _mm_slli_epi32(v, shift));
    }
    pixel = _mm_blendv_epi8(gap, pixel, interpolated);
    storePixels(out, pixel, n);
    const unsigned done = static_cast<unsigned>(_mm_movemask_ps(_mm_castsi128_ps(_mm_or_si128(interpolated, hidden))));
    return present & ~done & ~outside;
}

// The first n of eight pixels packed as 12 bytes in each half of `bytes`.
inline void storeEightPixels(std::uint8_t* out, const std::uint8_t* bytes, int n)
{
    if (n == 8) {
        std::memcpy(out, bytes, 12);
        std::memcpy(out + 12, bytes + 16, 12);
        return;
    }
    std::memcpy(out, bytes, static_cast<std::size_t>(3 * std::min(4, n)));
    if (n > 4)
        std::memcpy(out + 12, bytes + 16, static_cast<std::size_t>(3 * (n - 4)));
}

// From pixels 0, 1 | 4, 5 in `a` and 2, 3 | 6, 7 in `b` (eight bytes each:
// a neighbour and the one right of it), the dwords that `control` picks, for
// the eight pixels in order: those of the left neighbour, or (`high`) of the
// right one.
CLIPORA_AVX2 inline __m256i neighbour(__m256i a, __m256i b, __m256i control, bool high)
{
    const __m256i sa = _mm256_shuffle_epi8(a, control), sb = _mm256_shuffle_epi8(b, control);
    return high ? _mm256_unpackhi_epi64(sa, sb) : _mm256_unpacklo_epi64(sa, sb);
}

// Where eight target pixels of row y from x on sample the source, exactly as
// the plain code computes it.
struct EightPlaces {
    __m256d fx[2], fy[2];  // pixels 0..3 and 4..7
    __m256i offset;        // byte offset of each top-left neighbour
    __m256i read;          // all ones: its neighbour pairs lie in the picture and may be read
    unsigned outside;      // bit k: all four neighbours lie outside the picture
    unsigned present;      // bit k: pixel x + k exists
    int n;
};

CLIPORA_AVX2 inline EightPlaces locateEight(const RowContext& rc, int x, int y)
{
    const RotatePlan& plan = rc.plan;
    const __m256d sdy = _mm256_set1_pd(plan.sdy[y]), offsetX = _mm256_set1_pd(plan.offsetX);
    const __m256d cdy = _mm256_set1_pd(plan.cdy[y]), offsetY = _mm256_set1_pd(plan.offsetY);
    const __m256d minus = _mm256_set1_pd(-0.0);
    EightPlaces at;
    __m128i x0[2], y0[2];
    for (int half = 0; half < 2; ++half) {
        const int from = x + 4 * half;
        const __m256d sx = _mm256_add_pd(_mm256_add_pd(_mm256_loadu_pd(rc.cdx + from), sdy), offsetX);
        const __m256d sy =
            _mm256_add_pd(_mm256_add_pd(_mm256_xor_pd(_mm256_loadu_pd(rc.sdx + from), minus), cdy), offsetY);
        const __m256d floorX = _mm256_floor_pd(sx), floorY = _mm256_floor_pd(sy);
        at.fx[half] = _mm256_sub_pd(sx, floorX);
        at.fy[half] = _mm256_sub_pd(sy, floorY);
        // Out-of-range positions convert to INT_MIN and count as outside.
        x0[half] = _mm256_cvttpd_epi32(floorX);
        y0[half] = _mm256_cvttpd_epi32(floorY);
    }
    const __m256i cx = _mm256_set_m128i(x0[1], x0[0]), cy = _mm256_set_m128i(y0[1], y0[0]);
    const int w = plan.srcWidth, h = plan.srcHeight;
    const __m256i minusOne = _mm256_set1_epi32(-1), zero = _mm256_setzero_si256();
    const __m256i notInside =
        _mm256_or_si256(_mm256_or_si256(_mm256_cmpgt_epi32(zero, cx), _mm256_cmpgt_epi32(cx, _mm256_set1_epi32(w - 2))),
                        _mm256_or_si256(_mm256_cmpgt_epi32(zero, cy), _mm256_cmpgt_epi32(cy, _mm256_set1_epi32(h - 2))));
    const __m256i outsideLanes = _mm256_or_si256(
        _mm256_or_si256(_mm256_cmpgt_epi32(minusOne, cx), _mm256_cmpgt_epi32(cx, _mm256_set1_epi32(w - 1))),
        _mm256_or_si256(_mm256_cmpgt_epi32(minusOne, cy), _mm256_cmpgt_epi32(cy, _mm256_set1_epi32(h - 1))));
    at.outside = static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(outsideLanes)));
    at.n = std::min(2 * lanes, plan.width - x);
    at.present = (1u << at.n) - 1;
    // p00 and p10 are read together as eight bytes (likewise p01 and p11);
    // the lanes that would read past the bitmap's end are left out.
    const int stride = static_cast<int>(rc.source.stride());
    at.offset = _mm256_add_epi32(_mm256_mullo_epi32(cy, _mm256_set1_epi32(stride)),
                                 _mm256_mullo_epi32(cx, _mm256_set1_epi32(3)));
    at.read = _mm256_andnot_si256(
        _mm256_or_si256(notInside, _mm256_cmpgt_epi32(at.offset, _mm256_set1_epi32(rc.lastSafe8))), minusOne);
    return at;
}

// The neighbour pairs of eight pixels: pixels 0, 1 | 4, 5 and 2, 3 | 6, 7
// side by side for the top row (`topA`, `topB`) and the row below, so that
// one byte shuffle per channel and neighbour and an unpack give the eight
// pixels in order. Read one by one: quicker than gathers on the processors
// measured. A lane left out reads the bitmap's first bytes instead.
struct EightPairs {
    __m256i topA, topB, bottomA, bottomB;
};

CLIPORA_AVX2 inline EightPairs readEight(const RowContext& rc, const EightPlaces& at)
{
    alignas(32) std::int32_t offsets[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(offsets), _mm256_and_si256(at.offset, at.read));
    const std::uint8_t* top = rc.source.data();
    const std::uint8_t* bottom = top + rc.source.stride();
    const auto eight = [](const std::uint8_t* p) {
        long long v;
        std::memcpy(&v, p, 8);
        return v;
    };
    __m256i rows[4];  // top of pixels 0..3, top of 4..7, bottom of 0..3, bottom of 4..7
    for (int half = 0; half < 2; ++half) {
        const std::int32_t* o = offsets + 4 * half;
        rows[half] = _mm256_setr_epi64x(eight(top + o[0]), eight(top + o[1]), eight(top + o[2]), eight(top + o[3]));
        rows[2 + half] =
            _mm256_setr_epi64x(eight(bottom + o[0]), eight(bottom + o[1]), eight(bottom + o[2]), eight(bottom + o[3]));
    }
    return {_mm256_permute2x128_si256(rows[0], rows[1], 0x20), _mm256_permute2x128_si256(rows[0], rows[1], 0x31),
            _mm256_permute2x128_si256(rows[2], rows[3], 0x20), _mm256_permute2x128_si256(rows[2], rows[3], 0x31)};
}

// Asks for the source lines that the same eight pixels rotationRowsAhead
// rows below will read.
CLIPORA_AVX2 inline void prefetchAhead(const RowContext& rc, const EightPlaces& at)
{
    alignas(32) std::int32_t offsets[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(offsets),
                       _mm256_and_si256(_mm256_add_epi32(at.offset, _mm256_set1_epi32(rc.ahead)), at.read));
    const auto first = reinterpret_cast<std::uintptr_t>(rc.source.data());
    for (int k = 0; k < 8; k += 2)
        prefetchPixelPair(first + static_cast<std::uint32_t>(offsets[k]), rc.source.stride());
}

// Lanes whose neighbours have the transparent colour: `some` (one or more),
// `all` (all four).
struct KeyedLanes {
    __m256i some, all;
};

CLIPORA_AVX2 inline KeyedLanes keyedLanes(const EightPairs& q, Bgr colour)
{
    // Each neighbour's three bytes as one number, compared with the key.
    const __m256i whole = _mm256_setr_epi8(0, 1, 2, -1, 8, 9, 10, -1, 3, 4, 5, -1, 11, 12, 13, -1, 0, 1, 2, -1, 8, 9,
                                           10, -1, 3, 4, 5, -1, 11, 12, 13, -1);
    const __m256i key = _mm256_set1_epi32(static_cast<int>(colour.packed()));
    const __m256i k00 = _mm256_cmpeq_epi32(neighbour(q.topA, q.topB, whole, false), key);
    const __m256i k10 = _mm256_cmpeq_epi32(neighbour(q.topA, q.topB, whole, true), key);
    const __m256i k01 = _mm256_cmpeq_epi32(neighbour(q.bottomA, q.bottomB, whole, false), key);
    const __m256i k11 = _mm256_cmpeq_epi32(neighbour(q.bottomA, q.bottomB, whole, true), key);
    return {_mm256_or_si256(_mm256_or_si256(k00, k10), _mm256_or_si256(k01, k11)),
            _mm256_and_si256(_mm256_and_si256(k00, k10), _mm256_and_si256(k01, k11))};
}

// Stores eight packed pixels (fewer at the row's end).
CLIPORA_AVX2 inline void storeEight(std::uint8_t* out, __m256i pixels, int n)
{
    const __m256i pack = _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1, 0, 1, 2, 4, 5, 6, 8,
                                          9, 10, 12, 13, 14, -1, -1, -1, -1);
    alignas(32) std::uint8_t bytes[32];
    _mm256_store_si256(reinterpret_cast<__m256i*>(bytes), _mm256_shuffle_epi8(pixels, pack));
    storeEightPixels(out, bytes, n);
}

// Eight target pixels in single precision, kept where every value lies
// provably far from a half (see rotationScreenMargin): the lanes left for
// the exact per-pixel rule, or nothing when the chunk must be blended in
// double precision instead.
CLIPORA_AVX2 __attribute__((always_inline)) inline std::optional<unsigned> screenChunk(const RowContext& rc, int x,
                                                                                     int y, std::uint8_t* out)
{
    const EightPlaces at = locateEight(rc, x, y);
    const __m256i gap = _mm256_set1_epi32(static_cast<int>(rc.plan.gap.packed()));
    if ((static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(at.read))) & at.present) == 0) {
        storeEight(out, gap, at.n);
        return at.present & ~at.outside;
    }
    const EightPairs q = readEight(rc, at);
    prefetchAhead(rc, at);
    __m256i interpolated = at.read;
    unsigned hidden = 0;
    if (rc.transparency.on && rc.plan.noFrameCorrection) {
        // Some neighbours transparent: per pixel. All four: coverage 0, the gap colour.
        const KeyedLanes keyed = keyedLanes(q, Bgr(rc.transparency.colour));
        interpolated = _mm256_andnot_si256(keyed.some, at.read);
        hidden = static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(_mm256_and_si256(at.read, keyed.all))));
    }
    const __m256 f = _mm256_set_m128(_mm256_cvtpd_ps(at.fx[1]), _mm256_cvtpd_ps(at.fx[0]));
    const __m256 g = _mm256_set_m128(_mm256_cvtpd_ps(at.fy[1]), _mm256_cvtpd_ps(at.fy[0]));
    const __m256 fg = _mm256_mul_ps(f, g);
    const __m256 limit = _mm256_set1_ps(0.5f - rotationScreenMargin);
    const __m256 sign = _mm256_set1_ps(-0.0f);
    __m256i pixel = _mm256_setzero_si256(), near = _mm256_setzero_si256();
    for (int c = 0; c < 3; ++c) {
        // Bytes c and 3 + c of each eight-byte neighbour pair.
        const __m256i control = _mm256_setr_epi8(c, -1, -1, -1, 8 + c, -1, -1, -1, 3 + c, -1, -1, -1, 11 + c, -1, -1,
                                                 -1, c, -1, -1, -1, 8 + c, -1, -1, -1, 3 + c, -1, -1, -1, 11 + c, -1,
                                                 -1, -1);
        const __m256i p00 = neighbour(q.topA, q.topB, control, false), p10 = neighbour(q.topA, q.topB, control, true);
        const __m256i p01 = neighbour(q.bottomA, q.bottomB, control, false);
        const __m256i p11 = neighbour(q.bottomA, q.bottomB, control, true);
        const __m256i d10 = _mm256_sub_epi32(p10, p00), d01 = _mm256_sub_epi32(p01, p00);
        const __m256i d11 = _mm256_sub_epi32(_mm256_sub_epi32(_mm256_add_epi32(p00, p11), p10), p01);
        __m256 v = _mm256_add_ps(_mm256_cvtepi32_ps(p00), _mm256_mul_ps(f, _mm256_cvtepi32_ps(d10)));
        v = _mm256_add_ps(v, _mm256_mul_ps(g, _mm256_cvtepi32_ps(d01)));
        v = _mm256_add_ps(v, _mm256_mul_ps(fg, _mm256_cvtepi32_ps(d11)));
        const __m256i r = _mm256_cvtps_epi32(v);
        const __m256 off = _mm256_andnot_ps(sign, _mm256_sub_ps(v, _mm256_cvtepi32_ps(r)));
        near = _mm256_or_si256(near, _mm256_castps_si256(_mm256_cmp_ps(off, limit, _CMP_GE_OQ)));
        // With four neighbours present the value stays within 0 .. 255.
        pixel = _mm256_or_si256(pixel, _mm256_slli_epi32(_mm256_and_si256(r, _mm256_set1_epi32(0xFF)), 8 * c));
    }
    if (_mm256_movemask_ps(_mm256_castsi256_ps(_mm256_and_si256(near, interpolated))) & static_cast<int>(at.present))
        return std::nullopt;
    storeEight(out, _mm256_blendv_epi8(gap, pixel, interpolated), at.n);
    const unsigned done = static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(interpolated))) | hidden;
    return at.present & ~done & ~at.outside;
}

// Target pixels xBegin .. xEnd - 1 of row y (xBegin a multiple of 8), with
// or without the screen; returns how many chunks of eight the screen sent to
// the double-precision blend.
CLIPORA_AVX2 int rotateRun(const RowContext& rc, int y, int xBegin, int xEnd, std::uint8_t* out, bool screen)
{
    const auto finish = [&](int x, unsigned left) {
        while (left) {
            const int l = __builtin_ctz(left);
            left &= left - 1;
            rotatePixel(out + 3 * (x + l), rc.source, rc.plan, x + l, y, rc.transparency);
        }
    };
    int redone = 0;
    for (int x = xBegin; x < xEnd; x += 2 * lanes) {
        if (screen) {
            if (const std::optional<unsigned> left = screenChunk(rc, x, y, out + 3 * x)) {
                finish(x, *left);
                continue;
            }
            ++redone;
        }
        finish(x, rotateChunk(rc, x, y, out + 3 * x));
        if (x + lanes < xEnd)
            finish(x + lanes, rotateChunk(rc, x + lanes, y, out + 3 * (x + lanes)));
    }
    return redone;
}

}  // namespace

void rotateAvx2(const Bitmap24& source, Bitmap24& target, const Transparency& transparency, const Progress& progress,
                const RotatePlan& plan)
{
    // Byte offsets into the source are formed in 32 bits.
    if (static_cast<long long>(source.stride()) * source.height() + 8 > INT32_MAX) {
        rotatePortable(source, target, transparency, progress, plan);
        return;
    }
    const int padded = (plan.width + 2 * lanes - 1) / (2 * lanes) * (2 * lanes);
    std::vector<double> cdx(static_cast<std::size_t>(padded), 0.0), sdx(cdx.size(), 0.0);
    std::copy(plan.cdx.begin(), plan.cdx.end(), cdx.begin());
    std::copy(plan.sdx.begin(), plan.sdx.end(), sdx.begin());
    // A gather at offset o reads bytes o .. o + 6 of a row and of the row
    // below (p10 is read from o + 3).
    const long long lastSafe = static_cast<long long>(source.stride()) * (source.height() - 1) - 7;
    const long long lastSafe8 = static_cast<long long>(source.stride()) * (source.height() - 1) - 8;
    const RowContext rc{source,
                        plan,
                        transparency,
                        cdx.data(),
                        sdx.data(),
                        static_cast<int>(lastSafe),
                        static_cast<int>(lastSafe8),
                        static_cast<int>(rotationAhead(plan, source.stride()))};
    // Tiles of a band of rows by a run of columns, as in the other paths.
    constexpr int bandRows = 32, tileColumns = 64 * lanes;
    // After the first band, the screen stays on only where it sent back at
    // most one chunk in eight (turns by whole or half right angles into
    // larger targets put many values on halves).
    bool screen = true;
    long long chunks = 0, redone = 0;
    for (int band = 0; band < plan.height; band += bandRows) {
        const int bandEnd = std::min(band + bandRows, plan.height);
        for (int tile = 0; tile < plan.width; tile += tileColumns) {
            const int tileEnd = std::min(tile + tileColumns, plan.width);
            for (int y = band; y < bandEnd; ++y) {
                redone += rotateRun(rc, y, tile, tileEnd, target.row(y), screen);
                chunks += (tileEnd - tile + 2 * lanes - 1) / (2 * lanes);
            }
        }
        if (band == 0)
            screen = redone * 8 <= chunks;
        if (progress)
            for (int y = band; y < bandEnd; ++y)
                progress(progressAfterRow(y, plan.height));
    }
}

#else

void rotateAvx2(const Bitmap24& source, Bitmap24& target, const Transparency& transparency, const Progress& progress,
                const RotatePlan& plan)
{
    rotatePortable(source, target, transparency, progress, plan);
}

#endif

}  // namespace clipora::zoom::detail
