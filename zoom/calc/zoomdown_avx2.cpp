// Area-averaging reduction with AVX2.
//
// Four target pixels of a row are summed side by side, one lane each. Every
// lane runs through its footprint in the order of the plain code (source
// rows top to bottom, in each the columns left to right), so each sum sees
// the same additions in the same order. Lanes whose footprint is narrower
// than the widest one get terms of weight 0, which leave the sums and the
// weight unchanged. Each source row is split once into blue, green and red
// planes. Where the four lanes' columns lie within 16 of each other (for
// footprints up to about four source pixels wide) PSHUFB picks each lane's
// value out of a 16-byte window of a plane straight into the low byte of a
// 64-bit lane, where OR-ing in the exponent of 2^52 and subtracting 2^52
// makes it a double: no gathers, which are slow on many processors. Wider
// footprints fetch their values one by one.
//
// First, eight pixels at a time are summed in single precision (twice the
// lanes); a mean provably far from every half rounds as the exact one would
// (the bound is proved at screenedOctet), and only the others, and pixels
// near the transparent colour, are summed exactly as above.

#include <array>
#include <cmath>
#include <cstring>

#include "zoom/calc/avx2.h"
#include "zoom/calc/kernels.h"

namespace clipora::zoom::detail {

#if CLIPORA_ZOOM_AVX2

namespace {

constexpr int lanes = 4;

// A source row split into its three channels, with room to read 16 bytes
// from any column.
struct PlanarRow {
    int row = -1;
    std::vector<std::uint8_t> plane[3];  // blue, green, red
};

// Splits a row of blue, green, red bytes into three planes, 16 pixels (48
// bytes) at a time.
CLIPORA_AVX2 void splitRow(const std::uint8_t* src, int width, PlanarRow& out)
{
    // For channel c, byte k of the output comes from byte 3k + c of the 48:
    // from the first, second or third 16 bytes, by one PSHUFB each.
    static const auto masks = [] {
        std::array<std::array<std::array<std::int8_t, 16>, 3>, 3> m{};
        for (int c = 0; c < 3; ++c)
            for (int part = 0; part < 3; ++part)
                for (int k = 0; k < 16; ++k) {
                    const int at = 3 * k + c - 16 * part;
                    m[c][part][k] = static_cast<std::int8_t>(at >= 0 && at < 16 ? at : -1);
                }
        return m;
    }();
    int x = 0;
    for (; x + 16 <= width; x += 16) {
        const std::uint8_t* at = src + 3 * x;
        const __m128i part[3] = {_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)),
                                 _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 16)),
                                 _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 32))};
        for (int c = 0; c < 3; ++c) {
            __m128i v = _mm_setzero_si128();
            for (int p = 0; p < 3; ++p)
                v = _mm_or_si128(v, _mm_shuffle_epi8(part[p], _mm_loadu_si128(reinterpret_cast<const __m128i*>(
                                                                   masks[c][p].data()))));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out.plane[c].data() + x), v);
        }
    }
    for (; x < width; ++x)
        for (int c = 0; c < 3; ++c)
            out.plane[c][x] = src[3 * x + c];
}

// 16 bytes of a plane in both halves of a vector.
CLIPORA_AVX2 __attribute__((always_inline)) inline __m256i windowOf(const std::uint8_t* at)
{
    return _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)));
}

// The plane's values at four columns, as doubles.
CLIPORA_AVX2 __attribute__((always_inline)) inline __m256d lanesOf(const std::uint8_t* plane, const int* column)
{
    return _mm256_setr_pd(plane[column[0]], plane[column[1]], plane[column[2]], plane[column[3]]);
}

// 16 bytes of a plane at each of two columns, one per half of a vector.
CLIPORA_AVX2 __attribute__((always_inline)) inline __m256i twoWindows(const std::uint8_t* plane, int base0, int base1)
{
    return _mm256_inserti128_si256(
        _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(plane + base0))),
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(plane + base1)), 1);
}

class Reducer {
public:
    Reducer(const Bitmap24& source, const ZoomdownPlan& plan, const Transparency& transparency)
        : source_(source), plan_(plan), transparency_(transparency), span_(plan.across.span),
          chunks_((plan.width + lanes - 1) / lanes), padded_(chunks_ * lanes),
          reciprocalArea_(1.0 / static_cast<double>(plan.area)), tieMargin_(reductionTieMargin)
    {
        const FootprintAxis& across = plan.across;
        weights_.assign(static_cast<std::size_t>(span_) * padded_, 0.0);
        column_.assign(static_cast<std::size_t>(chunks_) * span_ * lanes, 0);
        select_.assign(static_cast<std::size_t>(chunks_) * span_ * 32, 0x80);
        wholeColumn_.assign(static_cast<std::size_t>(chunks_) * span_, 0);
        base_.resize(chunks_);
        window_.resize(chunks_);
        for (int k = 0; k < span_; ++k)
            for (int x = 0; x < plan.width; ++x)
                weights_[static_cast<std::size_t>(k) * padded_ + x] = across.w(k, x);
        for (int c = 0; c < chunks_; ++c) {
            base_[c] = across.first[c * lanes];
            bool fits = true;
            for (int k = 0; k < span_; ++k) {
                bool whole = true;
                for (int l = 0; l < lanes; ++l) {
                    const int x = std::min(c * lanes + l, plan.width - 1);
                    const int column = std::min(across.first[x] + k, plan.srcWidth - 1);
                    column_[(static_cast<std::size_t>(c) * span_ + k) * lanes + l] = column;
                    fits = fits && column - base_[c] < 16;
                    // Lane l's value goes to the low byte of 64-bit lane l:
                    // byte 8 (l % 2) of 128-bit half l / 2.
                    select_[(static_cast<std::size_t>(c) * span_ + k) * 32 + 16 * (l / 2) + 8 * (l % 2)] =
                        static_cast<std::uint8_t>(column - base_[c]);
                    whole = whole && weights_[static_cast<std::size_t>(k) * padded_ + c * lanes + l] == 1.0;
                }
                wholeColumn_[static_cast<std::size_t>(c) * span_ + k] = whole;
            }
            window_[c] = fits;
        }
        // The single-precision screen, eight pixels (two windows) at a time.
        octets_ = (plan.width + 7) / 8;
        paddedF_ = 8 * octets_;
        weightsF_.assign(static_cast<std::size_t>(span_) * paddedF_, 0.0f);
        for (int k = 0; k < span_; ++k)
            for (int x = 0; x < plan.width; ++x)
                weightsF_[static_cast<std::size_t>(k) * paddedF_ + x] = static_cast<float>(across.w(k, x));
        selectF_.assign(static_cast<std::size_t>(octets_) * span_ * 32, 0x80);
        baseF_.resize(2 * static_cast<std::size_t>(octets_));
        screened_.assign(octets_, 0);
        const double terms = static_cast<double>(span_) * plan.down.span;
        const double limit = 0.5 - (256 * (1 + 1e-3) * ((terms + 7) * 0x1p-24 + (terms + 3) * 0x1p-53) + 0x1p-30);
        screenLimit_ = std::nextafter(static_cast<float>(limit), 0.0f);
        reciprocalAreaF_ = static_cast<float>(1.0 / static_cast<double>(plan.area));
        const bool screenable = terms * 0x1p-24 < 1e-3 && limit > 0.4;
        for (int o = 0; o < octets_ && screenable; ++o) {
            bool fits = true;
            for (int half = 0; half < 2; ++half) {
                const int base = across.first[std::min(8 * o + 4 * half, plan.width - 1)];
                baseF_[2 * o + half] = base;
                for (int k = 0; k < span_; ++k)
                    for (int l = 0; l < 4; ++l) {
                        const int x = std::min(8 * o + 4 * half + l, plan.width - 1);
                        const int column = std::min(across.first[x] + k, plan.srcWidth - 1);
                        fits = fits && column >= base && column - base < 16;
                        selectF_[(static_cast<std::size_t>(o) * span_ + k) * 32 + 16 * half + 4 * l] =
                            static_cast<std::uint8_t>(column - base);
                    }
            }
            screened_[o] = fits;
        }
        // The rows of one target row are consecutive and at most span
        // many, so a ring one longer holds them all and keeps a row shared
        // with the next target row.
        rows_.resize(static_cast<std::size_t>(plan.down.span) + 1);
        for (PlanarRow& r : rows_)
            for (auto& plane : r.plane)
                plane.assign(static_cast<std::size_t>(plan.srcWidth) + 16, 0);
        keyed_ = transparency.on;
    }

    void reduceRow(int y, std::uint8_t* out)
    {
        const int first = plan_.down.first[y], count = plan_.down.count[y];
        rowsOfTarget_.resize(static_cast<std::size_t>(count));
        for (int k = 0; k < count; ++k) {
            PlanarRow& slot = rows_[static_cast<std::size_t>(first + k) % rows_.size()];
            if (slot.row != first + k) {
                splitRow(source_.row(first + k), plan_.srcWidth, slot);
                slot.row = first + k;
            }
            rowsOfTarget_[static_cast<std::size_t>(k)] = &slot;
        }
        if (keyed_)
            reduceRowWith<true>(y, count, out);
        else
            reduceRowWith<false>(y, count, out);
        // Where means fall near halves often (whole-number ratios make
        // them multiples of 1 / area), redoing them costs more than the
        // screen saves: past 3 % the rest of the picture goes without it.
        if (screenedPixels_ >= 4096 && doubtfulPixels_ * 32 > screenedPixels_)
            screenOn_ = false;
    }

private:
    struct Sums {
        __m256d b, g, r;
        __m128 weight;
    };

    // Adds one term to the sums: the values of the four lanes (as doubles,
    // and as the 64-bit patterns they came from, for the key test) times
    // w = wx wy, or taken as they are when every weight is exactly 1.
    template <bool Keyed>
    CLIPORA_AVX2 __attribute__((always_inline)) inline void addTerm(Sums& s, __m256d b, __m256d g, __m256d r,
                                                                   __m256d w, bool whole, __m256d hidden) const
    {
        __m256d tb = b, tg = g, tr = r;
        if (!whole) {
            tb = _mm256_mul_pd(w, b);
            tg = _mm256_mul_pd(w, g);
            tr = _mm256_mul_pd(w, r);
        }
        if constexpr (Keyed) {
            // A pixel of the transparent colour adds nothing (the terms are
            // non-negative, so adding +0 is exact) and takes its weight off
            // the pixel's.
            if (_mm256_movemask_pd(hidden)) {
                tb = _mm256_andnot_pd(hidden, tb);
                tg = _mm256_andnot_pd(hidden, tg);
                tr = _mm256_andnot_pd(hidden, tr);
                const __m128 less = _mm256_cvtpd_ps(_mm256_sub_pd(_mm256_cvtps_pd(s.weight), w));
                const __m128 hidden32 = _mm_castsi128_ps(_mm256_castsi256_si128(_mm256_permutevar8x32_epi32(
                    _mm256_castpd_si256(hidden), _mm256_setr_epi32(0, 2, 4, 6, 0, 0, 0, 0))));
                s.weight = _mm_blendv_ps(s.weight, less, hidden32);
            }
        }
        s.b = _mm256_add_pd(s.b, tb);
        s.g = _mm256_add_pd(s.g, tg);
        s.r = _mm256_add_pd(s.r, tr);
    }

    template <bool Keyed>
    CLIPORA_AVX2 void reduceRowWith(int y, int count, std::uint8_t* out)
    {
        for (int o = 0; o < octets_; ++o) {
            if (screenOn_ && screened_[o] && screenedOctet<Keyed>(o, y, count, out))
                continue;
            for (int c = 2 * o; c < std::min(2 * o + 2, chunks_); ++c)
                exactChunk<Keyed>(c, y, count, out);
        }
    }

    // Eight target pixels summed in single precision, eight lanes at once.
    // Returns false, having written nothing, when a pixel of the
    // transparent colour lies under one of them (its weight must then be
    // tracked exactly).
    //
    // Why the bytes come out the same. Let T be the real value of
    // sum (wx wy p) / area with the double weights of the plan, over the n
    // terms of the pixel (n <= span across x span down; padding terms of
    // weight 0 add exactly nothing). The plain code computes each term with
    // two roundings (wx wy, then x p), adds n terms, then divides by area:
    // by the standard bound for recursive sums its mean M lies within
    // ((n + 3) 2^-53)(1 + 1e-3) x S of T, where S = sum (wx wy p) / area
    // <= 255 (1 + 2^-23) (the weights of a footprint add up to less than
    // area, held in single precision). Here the weights are first rounded to
    // single precision (2 roundings), then the same steps (3 more: the
    // product, x p, and the sums' n), and the sum is multiplied by a
    // single-precision 1 / area (2 roundings): the mean m lies within
    // ((n + 7) 2^-24)(1 + 1e-3) x S of T, as long as n 2^-24 < 1e-3. So
    // |m - M| < E = 256 (1 + 1e-3)((n + 7) 2^-24 + (n + 3) 2^-53) + 2^-30.
    // If m is further than E from every half, M lies on the same side of
    // each half and R(M) = R(m); other pixels take the exact per-pixel
    // rule.
    template <bool Keyed>
    CLIPORA_AVX2 bool screenedOctet(int o, int y, int count, std::uint8_t* out)
    {
        const Bgr key(transparency_.colour);
        const __m256i keyB = _mm256_set1_epi32(key.b), keyG = _mm256_set1_epi32(key.g);
        const __m256i keyR = _mm256_set1_epi32(key.r);
        __m256 sumB = _mm256_setzero_ps(), sumG = sumB, sumR = sumB;
        const float* wx = weightsF_.data() + 8 * o;
        const std::uint8_t* select = selectF_.data() + static_cast<std::size_t>(o) * span_ * 32;
        const int base0 = baseF_[2 * o], base1 = baseF_[2 * o + 1];
        for (int ki = 0; ki < count; ++ki) {
            const __m256 wy = _mm256_set1_ps(static_cast<float>(plan_.down.w(ki, y)));
            const PlanarRow& row = *rowsOfTarget_[static_cast<std::size_t>(ki)];
            const __m256i winB = twoWindows(row.plane[0].data(), base0, base1);
            const __m256i winG = twoWindows(row.plane[1].data(), base0, base1);
            const __m256i winR = twoWindows(row.plane[2].data(), base0, base1);
            for (int k = 0; k < span_; ++k) {
                const __m256i at = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(select + 32 * k));
                const __m256i b = _mm256_shuffle_epi8(winB, at);
                const __m256i g = _mm256_shuffle_epi8(winG, at);
                const __m256i r = _mm256_shuffle_epi8(winR, at);
                if constexpr (Keyed) {
                    const __m256i hidden = _mm256_and_si256(
                        _mm256_and_si256(_mm256_cmpeq_epi32(b, keyB), _mm256_cmpeq_epi32(g, keyG)),
                        _mm256_cmpeq_epi32(r, keyR));
                    if (!_mm256_testz_si256(hidden, hidden))
                        return false;
                }
                const __m256 w = _mm256_mul_ps(_mm256_loadu_ps(wx + static_cast<std::size_t>(k) * paddedF_), wy);
                sumB = _mm256_add_ps(sumB, _mm256_mul_ps(w, _mm256_cvtepi32_ps(b)));
                sumG = _mm256_add_ps(sumG, _mm256_mul_ps(w, _mm256_cvtepi32_ps(g)));
                sumR = _mm256_add_ps(sumR, _mm256_mul_ps(w, _mm256_cvtepi32_ps(r)));
            }
        }
        const __m256 reciprocal = _mm256_set1_ps(reciprocalAreaF_);
        const __m256 sums[3] = {sumB, sumG, sumR};
        const __m256 signBit = _mm256_set1_ps(-0.0f);
        __m256 doubtful = _mm256_setzero_ps();
        __m256i pixel = _mm256_setzero_si256();
        for (int c = 0; c < 3; ++c) {
            const __m256 mean = _mm256_mul_ps(sums[c], reciprocal);
            const __m256 nearest = _mm256_round_ps(mean, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
            // mean - nearest is exact: both are multiples of the unit in the
            // last place of mean, and the difference is at most a half.
            const __m256 off = _mm256_andnot_ps(signBit, _mm256_sub_ps(mean, nearest));
            doubtful = _mm256_or_ps(doubtful, _mm256_cmp_ps(off, _mm256_set1_ps(screenLimit_), _CMP_GE_OQ));
            __m256i v = _mm256_cvtps_epi32(nearest);
            v = _mm256_min_epi32(_mm256_max_epi32(v, _mm256_setzero_si256()), _mm256_set1_epi32(255));
            pixel = _mm256_or_si256(pixel, _mm256_slli_epi32(v, 8 * c));
        }
        // Eight 4-byte lanes to 24 packed bytes.
        const __m256i pack = _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1, 0, 1, 2, 4, 5, 6,
                                              8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
        alignas(32) std::uint8_t bytes[32];
        _mm256_store_si256(reinterpret_cast<__m256i*>(bytes), _mm256_shuffle_epi8(pixel, pack));
        const int first = 8 * o, n = std::min(8, plan_.width - first);
        std::uint8_t* at = out + 3 * first;
        std::memcpy(at, bytes, static_cast<std::size_t>(3 * std::min(n, 4)));
        if (n > 4)
            std::memcpy(at + 12, bytes + 16, static_cast<std::size_t>(3 * (n - 4)));
        unsigned exact = static_cast<unsigned>(_mm256_movemask_ps(doubtful)) & ((1u << n) - 1);
        screenedPixels_ += n;
        doubtfulPixels_ += __builtin_popcount(exact);
        while (exact) {
            const int l = __builtin_ctz(exact);
            exact &= exact - 1;
            reducePixel(at + 3 * l, source_, plan_, first + l, y, transparency_);
        }
        return true;
    }

    // Chunk c's four pixels in double precision, exactly as the plain code.
    template <bool Keyed>
    CLIPORA_AVX2 void exactChunk(int c, int y, int count, std::uint8_t* out) const
    {
        const Bgr key(transparency_.colour);
        // 2^52 as a double, and its bit pattern: a byte OR-ed into the low
        // bits gives 2^52 + byte, exactly.
        const __m256i magicBits = _mm256_set1_epi64x(0x4330000000000000LL);
        const __m256d magic = _mm256_castsi256_pd(magicBits);
        const __m256i keyB = _mm256_set1_epi64x(0x4330000000000000LL | key.b);
        const __m256i keyG = _mm256_set1_epi64x(0x4330000000000000LL | key.g);
        const __m256i keyR = _mm256_set1_epi64x(0x4330000000000000LL | key.r);
        const __m256d none = _mm256_setzero_pd();
        {
            Sums s{_mm256_setzero_pd(), _mm256_setzero_pd(), _mm256_setzero_pd(), _mm_set1_ps(plan_.area)};
            const double* wx = weights_.data() + c * lanes;
            const char* whole = wholeColumn_.data() + static_cast<std::size_t>(c) * span_;
            const std::uint8_t* select = select_.data() + static_cast<std::size_t>(c) * span_ * 32;
            const int* column = column_.data() + static_cast<std::size_t>(c) * span_ * lanes;
            for (int ki = 0; ki < count; ++ki) {
                const double wyValue = plan_.down.w(ki, y);
                const __m256d wy = _mm256_set1_pd(wyValue);
                const PlanarRow& row = *rowsOfTarget_[static_cast<std::size_t>(ki)];
                if (window_[c]) {
                    const int base = base_[c];
                    const __m256i winB = windowOf(row.plane[0].data() + base);
                    const __m256i winG = windowOf(row.plane[1].data() + base);
                    const __m256i winR = windowOf(row.plane[2].data() + base);
                    for (int k = 0; k < span_; ++k) {
                        const __m256i at = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(select + 32 * k));
                        const __m256i bb = _mm256_or_si256(_mm256_shuffle_epi8(winB, at), magicBits);
                        const __m256i gg = _mm256_or_si256(_mm256_shuffle_epi8(winG, at), magicBits);
                        const __m256i rr = _mm256_or_si256(_mm256_shuffle_epi8(winR, at), magicBits);
                        __m256d hidden = none;
                        if constexpr (Keyed)
                            hidden = _mm256_castsi256_pd(_mm256_and_si256(
                                _mm256_and_si256(_mm256_cmpeq_epi64(bb, keyB), _mm256_cmpeq_epi64(gg, keyG)),
                                _mm256_cmpeq_epi64(rr, keyR)));
                        const bool one = wyValue == 1 && whole[k];
                        const __m256d w =
                            one ? _mm256_set1_pd(1.0)
                                : _mm256_mul_pd(_mm256_loadu_pd(wx + static_cast<std::size_t>(k) * padded_), wy);
                        addTerm<Keyed>(s, _mm256_sub_pd(_mm256_castsi256_pd(bb), magic),
                                       _mm256_sub_pd(_mm256_castsi256_pd(gg), magic),
                                       _mm256_sub_pd(_mm256_castsi256_pd(rr), magic), w, one, hidden);
                    }
                } else {
                    for (int k = 0; k < span_; ++k) {
                        const int* at = column + lanes * k;
                        const __m256d b = lanesOf(row.plane[0].data(), at);
                        const __m256d g = lanesOf(row.plane[1].data(), at);
                        const __m256d r = lanesOf(row.plane[2].data(), at);
                        __m256d hidden = none;
                        if constexpr (Keyed)
                            hidden = _mm256_and_pd(
                                _mm256_and_pd(_mm256_cmp_pd(b, _mm256_set1_pd(key.b), _CMP_EQ_OQ),
                                              _mm256_cmp_pd(g, _mm256_set1_pd(key.g), _CMP_EQ_OQ)),
                                _mm256_cmp_pd(r, _mm256_set1_pd(key.r), _CMP_EQ_OQ));
                        const bool one = wyValue == 1 && whole[k];
                        const __m256d w =
                            one ? _mm256_set1_pd(1.0)
                                : _mm256_mul_pd(_mm256_loadu_pd(wx + static_cast<std::size_t>(k) * padded_), wy);
                        addTerm<Keyed>(s, b, g, r, w, one, hidden);
                    }
                }
            }
            finishChunk<Keyed>(s.b, s.g, s.r, s.weight, out + 3 * c * lanes, std::min(lanes, plan_.width - c * lanes));
        }
    }

    // The four pixels from their sums and weights.
    template <bool Keyed>
    CLIPORA_AVX2 void finishChunk(__m256d sumB, __m256d sumG, __m256d sumR, __m128 weight, std::uint8_t* out,
                                  int n) const
    {
        const __m256d wt = _mm256_cvtps_pd(weight);
        __m128i accepted = _mm_set1_epi32(-1);
        __m256d reciprocal = _mm256_set1_pd(reciprocalArea_);
        if constexpr (Keyed) {
            // A = R(coverage x 100) >= 100 - F and >= 1 (F >= 0 here).
            const __m256d area = _mm256_set1_pd(plan_.area);
            const __m128i a = _mm256_cvtpd_epi32(_mm256_mul_pd(_mm256_div_pd(wt, area), _mm256_set1_pd(100)));
            const int least = std::max(100 - transparency_.rate, 1);
            accepted = _mm_cmpgt_epi32(a, _mm_set1_epi32(least - 1));
            // Refused lanes may weigh 0: they divide 1 instead.
            const __m256d take = _mm256_castsi256_pd(_mm256_cvtepi32_epi64(accepted));
            reciprocal = _mm256_div_pd(_mm256_set1_pd(1.0), _mm256_blendv_pd(_mm256_set1_pd(1.0), wt, take));
        }
        // The means R(sum / weight), taken as sum x (1 / weight): that lies
        // within a few units in the last place of the quotient, so it rounds
        // the same unless it is near a half (reductionTieMargin); such lanes
        // are divided.
        const __m256d sums[3] = {sumB, sumG, sumR};
        __m256d means[3];
        __m256d doubtful = _mm256_setzero_pd();
        const __m256d signBit = _mm256_set1_pd(-0.0);
        const __m256d nearHalf = _mm256_set1_pd(0.5 - tieMargin_);
        for (int c = 0; c < 3; ++c) {
            means[c] = _mm256_mul_pd(sums[c], reciprocal);
            // The mean less its nearest integer: exact, both lie within one
            // unit of each other and below 2^52.
            const __m256d nearest = _mm256_round_pd(means[c], _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
            const __m256d off = _mm256_andnot_pd(signBit, _mm256_sub_pd(means[c], nearest));
            doubtful = _mm256_or_pd(doubtful, _mm256_cmp_pd(off, nearHalf, _CMP_GT_OQ));
        }
        __m128i pixel = _mm_setzero_si128();
        const bool anyDoubtful = _mm256_movemask_pd(doubtful) != 0;
        for (int c = 0; c < 3; ++c) {
            if (anyDoubtful)
                means[c] = _mm256_blendv_pd(means[c], _mm256_div_pd(sums[c], wt), doubtful);
            __m128i v = _mm256_cvtpd_epi32(means[c]);
            v = _mm_min_epi32(_mm_max_epi32(v, _mm_setzero_si128()), _mm_set1_epi32(255));
            pixel = _mm_or_si128(pixel, _mm_slli_epi32(v, 8 * c));
        }
        if constexpr (Keyed)
            pixel = _mm_blendv_epi8(_mm_set1_epi32(static_cast<int>(Bgr(transparency_.colour).packed())), pixel,
                                    accepted);
        // Four 4-byte lanes to 12 packed bytes.
        const __m128i pack = _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
        alignas(16) std::uint8_t bytes[16];
        _mm_store_si128(reinterpret_cast<__m128i*>(bytes), _mm_shuffle_epi8(pixel, pack));
        std::memcpy(out, bytes, static_cast<std::size_t>(3 * n));
    }

    const Bitmap24& source_;
    const ZoomdownPlan& plan_;
    const Transparency& transparency_;
    int span_, chunks_, padded_;
    double reciprocalArea_;
    double tieMargin_;
    bool keyed_ = false;
    std::vector<double> weights_;         // weights_[k * padded + x], zero beyond each footprint and the row
    std::vector<int> column_;             // per chunk and term: the source column of each lane
    std::vector<std::uint8_t> select_;    // per chunk and term: PSHUFB control picking the lanes' columns
    std::vector<char> wholeColumn_;       // per chunk and term: every weight across is 1
    std::vector<int> base_;               // per chunk: the source column at byte 0 of the window
    std::vector<char> window_;            // per chunk: every column lies within the window
    int octets_ = 0, paddedF_ = 0;
    std::vector<float> weightsF_;         // weightsF_[k * paddedF + x]: the weights across in single precision
    std::vector<std::uint8_t> selectF_;   // per octet and term: PSHUFB control, four lanes per window
    std::vector<int> baseF_;              // per octet: the source columns at byte 0 of its two windows
    std::vector<char> screened_;          // per octet: the screen applies
    float screenLimit_ = 0, reciprocalAreaF_ = 0;
    bool screenOn_ = true;
    long long screenedPixels_ = 0, doubtfulPixels_ = 0;  // so far
    std::vector<PlanarRow> rows_;         // a ring: source row r in slot r % size
    std::vector<const PlanarRow*> rowsOfTarget_;
};

}  // namespace

CLIPORA_AVX2 void addRowAvx2(std::uint16_t* sums, const std::uint8_t* row, std::size_t bytes)
{
    std::size_t i = 0;
    for (; i + 16 <= bytes; i += 16) {
        const __m256i add = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i)));
        __m256i* at = reinterpret_cast<__m256i*>(sums + i);
        _mm256_storeu_si256(at, _mm256_add_epi16(_mm256_loadu_si256(at), add));
    }
    addRowPortable(sums + i, row + i, bytes - i);
}

CLIPORA_AVX2 void finishWholeRowAvx2(const std::uint16_t* sums, const std::uint8_t* lastRow, std::uint8_t* rounded,
                                     std::size_t positions, int kx, int shift)
{
    // Every position i, not only those that start a block: the sum of
    // sums[i + 3j] for j < kx, then the rules of finishRow in 16-bit lanes.
    const __m256i half = _mm256_set1_epi16(static_cast<short>(1 << (shift - 1)));
    const __m256i low = _mm256_set1_epi16(static_cast<short>((1 << shift) - 1));
    const __m256i one = _mm256_set1_epi16(1), zero = _mm256_setzero_si256();
    const __m128i shiftBy = _mm_cvtsi32_si128(shift);
    for (std::size_t i = 0; i < positions; i += 16) {
        __m256i s = zero;
        __m128i lastOr = _mm_setzero_si128();
        for (int j = 0; j < kx; ++j) {
            s = _mm256_add_epi16(s, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(sums + i + 3 * j)));
            lastOr = _mm_or_si128(lastOr, _mm_loadu_si128(reinterpret_cast<const __m128i*>(lastRow + i + 3 * j)));
        }
        const __m256i lastColumn = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(sums + i + 3 * (kx - 1)));
        const __m256i q = _mm256_srl_epi16(s, shiftBy);
        const __m256i rem = _mm256_and_si256(s, low);
        const __m256i edgeZero = _mm256_and_si256(_mm256_cmpeq_epi16(lastColumn, zero),
                                                  _mm256_cmpeq_epi16(_mm256_cvtepu8_epi16(lastOr), zero));
        const __m256i oddTie = _mm256_and_si256(_mm256_cmpeq_epi16(rem, half),
                                                _mm256_cmpeq_epi16(_mm256_and_si256(q, one), one));
        const __m256i up = _mm256_or_si256(_mm256_cmpgt_epi16(rem, half), _mm256_and_si256(oddTie, edgeZero));
        const __m256i v = _mm256_sub_epi16(q, up);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(rounded + i),
                         _mm_packus_epi16(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1)));
    }
}

CLIPORA_AVX2 void markKeyAvx2(std::uint64_t* marks, const std::uint8_t* row, int width, Bgr key)
{
    std::fill(marks, marks + (width + 63) / 64, std::uint64_t{0});
    // 32 bytes from each tenth pixel: bits 0, 3, .. 27 of the byte matches
    // AND-ed with their two neighbours tell the ten pixels that match.
    alignas(32) std::uint8_t pattern[32];
    for (int i = 0; i < 32; ++i)
        pattern[i] = i % 3 == 0 ? key.b : i % 3 == 1 ? key.g : key.r;
    const __m256i want = _mm256_load_si256(reinterpret_cast<const __m256i*>(pattern));
    constexpr unsigned starts = 0x09249249u, ten = 0x3FFu;
    const std::size_t bytes = 3 * static_cast<std::size_t>(width);
    int j = 0;
    for (; 3 * static_cast<std::size_t>(j) + 32 <= bytes; j += 10) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + 3 * j));
        const unsigned m = static_cast<unsigned>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(v, want)));
        unsigned t = m & (m >> 1) & (m >> 2) & starts;
        if (t == 0)
            continue;
        std::uint64_t bits = 0;
        if (t == starts) {
            bits = ten;
        } else {
            for (; t != 0; t &= t - 1)
                bits |= std::uint64_t{1} << (__builtin_ctz(t) / 3);
        }
        const unsigned shift = static_cast<unsigned>(j % 64);
        marks[j / 64] |= bits << shift;
        if (shift > 54)
            marks[j / 64 + 1] |= bits >> (64 - shift);
    }
    for (const std::uint8_t* p = row + 3 * static_cast<std::size_t>(j); j < width; ++j, p += 3)
        if (key.matches(p))
            marks[j / 64] |= std::uint64_t{1} << (j % 64);
}

void zoomdownAvx2(const Bitmap24& source, Bitmap24& target, const Transparency& transparency,
                  const Progress& progress, const ZoomdownPlan& plan)
{
    Reducer reducer(source, plan, transparency);
    for (int y = 0; y < plan.height; ++y) {
        reducer.reduceRow(y, target.row(y));
        if (progress)
            progress(progressAfterRow(y, plan.height));
    }
}

#else

void finishWholeRowAvx2(const std::uint16_t*, const std::uint8_t*, std::uint8_t*, std::size_t, int, int) {}

void addRowAvx2(std::uint16_t* sums, const std::uint8_t* row, std::size_t bytes)
{
    addRowPortable(sums, row, bytes);
}

void markKeyAvx2(std::uint64_t* marks, const std::uint8_t* row, int width, Bgr key)
{
    markKeyPortable(marks, row, width, key);
}

void zoomdownAvx2(const Bitmap24& source, Bitmap24& target, const Transparency& transparency,
                  const Progress& progress, const ZoomdownPlan& plan)
{
    zoomdownPortable(source, target, transparency, progress, plan);
}

#endif

}  // namespace clipora::zoom::detail
