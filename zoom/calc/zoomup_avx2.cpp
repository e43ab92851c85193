// Bilinear enlargement with AVX2.
//
// The same plan as the AVX-512 code with narrower vectors. The row is
// treated as 3 x newx channel values ("elements"). For each source row the
// left and right neighbour of every element is gathered once into two byte
// arrays (with PSHUFB, four target pixels at a time from a 16-byte window),
// together with bit masks of the neighbours that have the transparent
// colour, and, while the screen below is on, the row's horizontal blend in
// single precision. Each target row is blended sixteen elements at a time in
// single precision from its two source rows' horizontal blends and kept
// where it is provably far from a half (see enlargementScreenMargin); each
// run of four elements that holds one near a half is blended again in
// double precision with exactly the operations of the plain code:
// ((p00 + fx (p10 - p00)) + fy (p01 - p00)) + (fx fy)(p00 + p11 - p10 - p01),
// rounded half to even (the processor's default rounding, as nearbyint
// uses). Where too many are near a half, the whole row is blended so.
// Pixels with a transparent neighbour are afterwards recomputed one by one by
// the exact per-pixel rule.

#include <cstring>

#include "zoom/calc/avx2.h"
#include "zoom/calc/kernels.h"

namespace clipora::zoom::detail {

#if CLIPORA_ZOOM_AVX2

namespace {

constexpr int quadPixels = 4;                // target pixels per shuffle
constexpr int quadBytes = 3 * quadPixels;    // their elements
constexpr int maskPixels = 16;               // target pixels per key mask

// Eight channel values from p on, widened to 32 bits.
CLIPORA_AVX2 inline __m256i eightValues(const std::uint8_t* p)
{
    return _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)));
}

struct GatheredRow {
    int row = -1;
    std::vector<std::uint8_t> left, right;  // the p00 / p10 channel value of each element
    std::vector<float> across;               // left + fx (right - left), in single precision
    // Per 16 target pixels, bit k: the left (right) neighbour of pixel
    // 16 m + k has the transparent colour.
    std::vector<std::uint16_t> keyLeft, keyRight;
};

class Gatherer {
public:
    Gatherer(const Bitmap24& source, const ZoomupPlan& plan, const Transparency& transparency)
        : source_(source), plan_(plan), keyed_(transparency.on), key_(transparency.colour.value()),
          quads_((plan.width + quadPixels - 1) / quadPixels), masks_((plan.width + maskPixels - 1) / maskPixels)
    {
        base_.resize(quads_);
        vectorQuad_.resize(quads_);
        indexLeft_.assign(static_cast<std::size_t>(quads_) * 16, 0x80);
        indexRight_.assign(static_cast<std::size_t>(quads_) * 16, 0x80);
        const int rowBytes = 3 * plan.srcWidth;
        for (int q = 0; q < quads_; ++q) {
            const int first = q * quadPixels, last = std::min(first + quadPixels, plan.width) - 1;
            base_[q] = 3 * plan.left[first];
            // PSHUFB reaches 16 bytes: enough for four pixels whenever the
            // source advances by at most one pixel per target pixel. The
            // window is read whole, so it must lie within the row.
            vectorQuad_[q] = 3 * plan.right[last] + 2 - base_[q] < 16 && base_[q] + 16 <= rowBytes &&
                             last - first + 1 == quadPixels;
            if (!vectorQuad_[q])
                continue;
            for (int x = first; x <= last; ++x)
                for (int c = 0; c < 3; ++c) {
                    const std::size_t i = static_cast<std::size_t>(q) * 16 + 3 * (x - first) + c;
                    indexLeft_[i] = static_cast<std::uint8_t>(3 * plan.left[x] + c - base_[q]);
                    indexRight_[i] = static_cast<std::uint8_t>(3 * plan.right[x] + c - base_[q]);
                }
        }
    }

    void prepare(GatheredRow& g) const
    {
        // Room for the last 16-byte store and the blend's 8-byte reads.
        g.left.assign(static_cast<std::size_t>(quads_) * quadBytes + 32, 0);
        g.right.assign(static_cast<std::size_t>(quads_) * quadBytes + 32, 0);
        g.across.assign(static_cast<std::size_t>(quads_) * quadBytes + 16, 0.0f);
        g.keyLeft.assign(masks_, 0);
        g.keyRight.assign(masks_, 0);
    }

    // Gathers source row r; with `fx3` (the fractions in single precision)
    // also the row's horizontal blend.
    CLIPORA_AVX2 void gather(int r, GatheredRow& g, const float* fx3) const
    {
        g.row = r;
        const std::uint8_t* src = source_.row(r);
        // The next row is gathered soon after: ask for it while this one is read.
        const std::uint8_t* next = r + 1 < source_.height() ? source_.row(r + 1) : nullptr;
        const Bgr key(key_);
        alignas(16) std::uint8_t pattern[16] = {};
        for (int i = 0; i < quadBytes; i += 3) {
            pattern[i] = key.b;
            pattern[i + 1] = key.g;
            pattern[i + 2] = key.r;
        }
        const __m128i keyPattern = _mm_load_si128(reinterpret_cast<const __m128i*>(pattern));
        std::fill(g.keyLeft.begin(), g.keyLeft.end(), 0);
        std::fill(g.keyRight.begin(), g.keyRight.end(), 0);
        // Locals, so that the stores below need not reload them.
        const bool keyed = keyed_;
        const int* base = base_.data();
        const char* vectorQuad = vectorQuad_.data();
        const std::uint8_t* indexLeft = indexLeft_.data();
        const std::uint8_t* indexRight = indexRight_.data();
        std::uint8_t* left = g.left.data();
        std::uint8_t* right = g.right.data();
        float* across = g.across.data();
        std::uint16_t* maskLeft = g.keyLeft.data();
        std::uint16_t* maskRight = g.keyRight.data();
        for (int q = 0; q < quads_; ++q) {
            const int first = q * quadPixels;
            const std::size_t e = static_cast<std::size_t>(q) * quadBytes;
            unsigned keyLeft = 0, keyRight = 0;  // bit k: pixel first + k
            if (next && q % 2 == 0)
                _mm_prefetch(reinterpret_cast<const char*>(next + base[q]), _MM_HINT_T0);
            if (vectorQuad[q]) {
                const __m128i data = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + base[q]));
                const __m128i l =
                    _mm_shuffle_epi8(data, _mm_loadu_si128(reinterpret_cast<const __m128i*>(indexLeft + 16 * q)));
                const __m128i rr =
                    _mm_shuffle_epi8(data, _mm_loadu_si128(reinterpret_cast<const __m128i*>(indexRight + 16 * q)));
                // Each store's last four bytes are rewritten by the next quad.
                _mm_storeu_si128(reinterpret_cast<__m128i*>(left + e), l);
                _mm_storeu_si128(reinterpret_cast<__m128i*>(right + e), rr);
                if (fx3) {
                    const __m256 l8 = _mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(l));
                    const __m256 r8 = _mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(rr));
                    _mm256_storeu_ps(across + e,
                                     _mm256_add_ps(l8, _mm256_mul_ps(_mm256_loadu_ps(fx3 + e), _mm256_sub_ps(r8, l8))));
                    const __m128 l4 = _mm_cvtepi32_ps(_mm_cvtepu8_epi32(_mm_srli_si128(l, 8)));
                    const __m128 r4 = _mm_cvtepi32_ps(_mm_cvtepu8_epi32(_mm_srli_si128(rr, 8)));
                    _mm_storeu_ps(across + e + 8,
                                  _mm_add_ps(l4, _mm_mul_ps(_mm_loadu_ps(fx3 + e + 8), _mm_sub_ps(r4, l4))));
                }
                if (keyed) {
                    keyLeft = pixelsMatching(l, keyPattern);
                    keyRight = pixelsMatching(rr, keyPattern);
                }
            } else {
                const int pixels = std::min(quadPixels, plan_.width - first);
                for (int k = 0; k < pixels; ++k) {
                    const std::uint8_t* pl = src + 3 * plan_.left[first + k];
                    const std::uint8_t* pr = src + 3 * plan_.right[first + k];
                    for (int c = 0; c < 3; ++c) {
                        const std::size_t i = e + 3 * k + c;
                        left[i] = pl[c];
                        right[i] = pr[c];
                        if (fx3)
                            across[i] = static_cast<float>(pl[c]) + fx3[i] * (static_cast<float>(pr[c]) - pl[c]);
                    }
                    if (keyed) {
                        keyLeft |= unsigned{key.matches(pl)} << k;
                        keyRight |= unsigned{key.matches(pr)} << k;
                    }
                }
            }
            if (keyed) {
                const int m = first / maskPixels, shift = first % maskPixels;
                maskLeft[m] = static_cast<std::uint16_t>(maskLeft[m] | (keyLeft << shift));
                maskRight[m] = static_cast<std::uint16_t>(maskRight[m] | (keyRight << shift));
            }
        }
    }

    int masks() const { return masks_; }

private:

    // Bit k (k < 4) set when bytes 3k .. 3k + 2 of v equal those of the pattern.
    CLIPORA_AVX2 static unsigned pixelsMatching(__m128i v, __m128i pattern)
    {
        const unsigned eq = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, pattern)));
        const unsigned all = eq & (eq >> 1) & (eq >> 2);
        return (all & 1) | ((all >> 2) & 2) | ((all >> 4) & 4) | ((all >> 6) & 8);
    }

    const Bitmap24& source_;
    const ZoomupPlan& plan_;
    bool keyed_;
    std::uint32_t key_;
    int quads_, masks_;
    std::vector<int> base_;
    std::vector<char> vectorQuad_;
    std::vector<std::uint8_t> indexLeft_, indexRight_;
};

// Four elements: ((p00 + fx d10) + fy d01) + (fx fy) d11, rounded half to even.
CLIPORA_AVX2 inline __m128i blendFour(__m128i p00, __m128i d10, __m128i d01, __m128i d11, const double* fx3,
                                      __m256d fy)
{
    const __m256d fx = _mm256_loadu_pd(fx3);
    const __m256d fxfy = _mm256_mul_pd(fx, fy);
    __m256d v = _mm256_add_pd(_mm256_cvtepi32_pd(p00), _mm256_mul_pd(fx, _mm256_cvtepi32_pd(d10)));
    v = _mm256_add_pd(v, _mm256_mul_pd(fy, _mm256_cvtepi32_pd(d01)));
    v = _mm256_add_pd(v, _mm256_mul_pd(fxfy, _mm256_cvtepi32_pd(d11)));
    return _mm256_cvtpd_epi32(v);
}

// Eight elements from e on, as bytes in the low half of the result.
CLIPORA_AVX2 inline __m128i blendEight(const GatheredRow& top, const GatheredRow& bottom, const double* fx3,
                                       __m256d fy, int e)
{
    const __m256i p00 = eightValues(top.left.data() + e);
    const __m256i p10 = eightValues(top.right.data() + e);
    const __m256i p01 = eightValues(bottom.left.data() + e);
    const __m256i p11 = eightValues(bottom.right.data() + e);
    const __m256i d10 = _mm256_sub_epi32(p10, p00);  // p10 - p00
    const __m256i d01 = _mm256_sub_epi32(p01, p00);  // p01 - p00
    const __m256i d11 = _mm256_sub_epi32(_mm256_sub_epi32(_mm256_add_epi32(p00, p11), p10), p01);
    const __m128i lo = blendFour(_mm256_castsi256_si128(p00), _mm256_castsi256_si128(d10),
                                 _mm256_castsi256_si128(d01), _mm256_castsi256_si128(d11), fx3 + e, fy);
    const __m128i hi = blendFour(_mm256_extracti128_si256(p00, 1), _mm256_extracti128_si256(d10, 1),
                                 _mm256_extracti128_si256(d01, 1), _mm256_extracti128_si256(d11, 1), fx3 + e + 4, fy);
    // With four neighbours present the values lie in 0 .. 255; the
    // saturating packs keep them there either way.
    const __m128i words = _mm_packs_epi32(lo, hi);
    return _mm_packus_epi16(words, words);
}

// Stores the bytes of eight elements (fewer at the row's end).
CLIPORA_AVX2 inline void storeEight(std::uint8_t* out, int e, int elements, __m128i bytes)
{
    if (e + 8 <= elements) {
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + e), bytes);
    } else {
        alignas(16) std::uint8_t last[16];
        _mm_store_si128(reinterpret_cast<__m128i*>(last), bytes);
        std::memcpy(out + e, last, static_cast<std::size_t>(elements - e));
    }
}

// Four channel values from p on, widened to 32 bits.
CLIPORA_AVX2 inline __m128i fourValues(const std::uint8_t* p)
{
    std::int32_t word;
    std::memcpy(&word, p, sizeof word);
    return _mm_cvtepu8_epi32(_mm_cvtsi32_si128(word));
}

// For each set of runs of four among sixteen elements, their first
// elements packed to the front. Bit q stands for the run in quarter q of
// the words that two groups pack into: elements 0, 8, 4 and 12 on.
struct RunStarts {
    alignas(16) std::int32_t first[16][4];
    RunStarts()
    {
        constexpr std::int32_t start[4] = {0, 8, 4, 12};
        for (int runs = 0; runs < 16; ++runs) {
            int n = 0;
            for (int q = 0; q < 4; ++q)
                if (runs & (1 << q))
                    first[runs][n++] = start[q];
            for (; n < 4; ++n)
                first[runs][n] = 0;
        }
    }
};
const RunStarts runStarts;

// Eight elements of a row through the screen: the rounded values, and in
// `near` all ones in each lane that lies within the margin of a half and
// may be sent back (`mayTie`: not exact in single precision too).
CLIPORA_AVX2 inline __m256i screenEight(const float* top, const float* bottom, __m256 fy, __m256i mayTie,
                                        __m256i& near)
{
    const __m256 limit = _mm256_set1_ps(0.5f - enlargementScreenMargin);
    const __m256 sign = _mm256_set1_ps(-0.0f);
    const __m256 a = _mm256_loadu_ps(top), b = _mm256_loadu_ps(bottom);
    const __m256 f = _mm256_add_ps(a, _mm256_mul_ps(fy, _mm256_sub_ps(b, a)));
    const __m256i r = _mm256_cvtps_epi32(f);
    const __m256 off = _mm256_andnot_ps(sign, _mm256_sub_ps(f, _mm256_cvtepi32_ps(r)));
    near = _mm256_and_si256(_mm256_castps_si256(_mm256_cmp_ps(off, limit, _CMP_GE_OQ)), mayTie);
    return r;
}

// A row through the screen: every element in single precision, and the
// first element of each run of four that holds one near a half listed in
// `near`; returns how many runs. `mayTie`: per element, all ones unless it
// is blended exactly in single precision too (null when the row's fy is
// not such a fraction: then every element may be near a half).
template <Screen How>
CLIPORA_AVX2 int screenRow(const GatheredRow& top, const GatheredRow& bottom, double fy, std::uint8_t* out,
                           int elements, const std::int32_t* mayTie, std::int32_t* near)
{
    const __m256 sfy = _mm256_set1_ps(static_cast<float>(fy));
    const float* a = top.across.data();
    const float* b = bottom.across.data();
    // The bytes of two groups, in order, from their packed words.
    const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 0, 0, 0, 0);
    const __m256i all = _mm256_set1_epi32(-1);
    int count = 0;
    for (int e = 0; e < elements; e += 16) {
        __m256i n0, n1;
        const __m256i t0 = mayTie ? _mm256_loadu_si256(reinterpret_cast<const __m256i*>(mayTie + e)) : all;
        const __m256i t1 = mayTie ? _mm256_loadu_si256(reinterpret_cast<const __m256i*>(mayTie + e + 8)) : all;
        const __m256i r0 = screenEight(a + e, b + e, sfy, t0, n0);
        const __m256i r1 = screenEight(a + e + 8, b + e + 8, sfy, t1, n1);
        const __m256i words = _mm256_packs_epi32(r0, r1);
        const __m128i bytes =
            _mm256_castsi256_si128(_mm256_permutevar8x32_epi32(_mm256_packus_epi16(words, words), order));
        if (e + 16 <= elements) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + e), bytes);
        } else {
            alignas(16) std::uint8_t last[16];
            _mm_store_si128(reinterpret_cast<__m128i*>(last), bytes);
            std::memcpy(out + e, last, static_cast<std::size_t>(elements - e));
        }
        // Packed to words, each run of four is one quarter of the vector;
        // bit q of `runs`: quarter q has one near a half.
        const __m256i quiet = _mm256_cmpeq_epi64(_mm256_packs_epi32(n0, n1), _mm256_setzero_si256());
        const unsigned runs = 15u ^ static_cast<unsigned>(_mm256_movemask_pd(_mm256_castsi256_pd(quiet)));
        if (How == Screen::listNearGroups && runs == 0)
            continue;
        // Listed without a branch.
        _mm_storeu_si128(reinterpret_cast<__m128i*>(near + count),
                         _mm_add_epi32(_mm_load_si128(reinterpret_cast<const __m128i*>(runStarts.first[runs])),
                                       _mm_set1_epi32(e)));
        count += __builtin_popcount(runs);
    }
    return count;
}

// Blends again in double precision, four elements at a time with the plain
// code's operations, the `count` runs listed in `near`. A run's elements
// that were far from a half get the byte they already have.
CLIPORA_AVX2 void blendListedRuns(const GatheredRow& top, const GatheredRow& bottom, const double* fx3, double fy,
                                  std::uint8_t* out, int elements, const std::int32_t* near, int count)
{
    const __m256d vfy = _mm256_set1_pd(fy);
    const std::uint8_t *p00s = top.left.data(), *p10s = top.right.data();
    const std::uint8_t *p01s = bottom.left.data(), *p11s = bottom.right.data();
    for (int k = 0; k < count; ++k) {
        const int e = near[k];
        if (e + 4 > elements) {  // the row's last run, cut short: one by one
            const std::int32_t run[4] = {e, e + 1, e + 2, e + 3};
            blendListed(top, bottom, fx3, fy, out, elements, run, 4);
            continue;
        }
        const __m128i p00 = fourValues(p00s + e), p10 = fourValues(p10s + e);
        const __m128i p01 = fourValues(p01s + e), p11 = fourValues(p11s + e);
        const __m128i d10 = _mm_sub_epi32(p10, p00);
        const __m128i d01 = _mm_sub_epi32(p01, p00);
        const __m128i d11 = _mm_sub_epi32(_mm_sub_epi32(_mm_add_epi32(p00, p11), p10), p01);
        const __m128i words = _mm_packs_epi32(blendFour(p00, d10, d01, d11, fx3 + e, vfy), _mm_setzero_si128());
        const std::int32_t bytes = _mm_cvtsi128_si32(_mm_packus_epi16(words, words));
        std::memcpy(out + e, &bytes, sizeof bytes);
    }
}

// One target row, blended as `screen` says; returns how many elements were
// blended in double precision after the screen found them near a half.
CLIPORA_AVX2 int blendRow(const GatheredRow& top, const GatheredRow& bottom, const double* fx3, double fy,
                          std::uint8_t* out, int elements, Screen screen, const std::int32_t* mayTieInDyadicRows,
                          std::vector<std::int32_t>& near)
{
    if (screen == Screen::off) {
        const __m256d vfy = _mm256_set1_pd(fy);
        for (int e = 0; e < elements; e += 8)
            storeEight(out, e, elements, blendEight(top, bottom, fx3, vfy, e));
        return 0;
    }
    const std::int32_t* mayTie = isShortDyadic(fy) ? mayTieInDyadicRows : nullptr;
    const int count = screen == Screen::listNearGroups
                          ? screenRow<Screen::listNearGroups>(top, bottom, fy, out, elements, mayTie, near.data())
                          : screenRow<Screen::listEveryGroup>(top, bottom, fy, out, elements, mayTie, near.data());
    blendListedRuns(top, bottom, fx3, fy, out, elements, near.data(), count);
    return 4 * count;
}

}  // namespace

void zoomupAvx2(const Bitmap24& source, Bitmap24& target, const Transparency& transparency, const Progress& progress,
                const ZoomupPlan& plan)
{
    const Gatherer gatherer(source, plan, transparency);
    const int elements = 3 * plan.width;
    const ElementFractions<std::uint8_t, 8> fractions(plan.fx);
    // In rows whose fy is a short dyadic fraction too, the elements whose fx
    // is one are exact in single precision and never sent back.
    std::vector<std::int32_t> mayTie(fractions.fx.size() + 16, -1);
    for (std::size_t e = 0; e < fractions.fx.size(); ++e)
        mayTie[e] = isShortDyadic(fractions.fx[e]) ? 0 : -1;
    Screen screen = Screen::listEveryGroup;
    long long screened = 0, redone = 0;
    std::vector<std::int32_t> near(static_cast<std::size_t>(elements) + 16);
    GatheredRow slots[2];
    gatherer.prepare(slots[0]);
    gatherer.prepare(slots[1]);
    // Source rows only move down: the slot with the lower row is the stale one.
    auto fetch = [&](int r, const GatheredRow* keep) -> const GatheredRow& {
        for (GatheredRow& s : slots)
            if (s.row == r)
                return s;
        GatheredRow* victim = slots[0].row <= slots[1].row ? &slots[0] : &slots[1];
        if (victim == keep)
            victim = victim == &slots[0] ? &slots[1] : &slots[0];
        gatherer.gather(r, *victim, screen != Screen::off ? fractions.fxf.data() : nullptr);
        return *victim;
    };
    const Bgr key(transparency.colour);
    for (int y = 0; y < plan.height; ++y) {
        const GatheredRow& top = fetch(plan.top[y], nullptr);
        const GatheredRow& bottom = fetch(plan.bottom[y], &top);
        std::uint8_t* out = target.row(y);
        redone += blendRow(top, bottom, fractions.fx.data(), plan.fy[y], out, elements, screen, mayTie.data(), near);
        screened += elements;
        if (y + 1 == enlargementScreenTrialRows)
            screen = screenAfterTrial(screened, redone, 16, 2);
        if (transparency.on) {
            const std::uint8_t* topRow = source.row(top.row);
            const std::uint8_t* bottomRow = source.row(bottom.row);
            for (int m = 0; m < gatherer.masks(); ++m) {
                unsigned touched = top.keyLeft[m] | top.keyRight[m] | bottom.keyLeft[m] | bottom.keyRight[m];
                // No neighbour present: coverage 0, refused for every rate.
                unsigned hidden = top.keyLeft[m] & top.keyRight[m] & bottom.keyLeft[m] & bottom.keyRight[m];
                touched &= ~hidden;
                while (hidden) {
                    key.store(out + 3 * (m * maskPixels + __builtin_ctz(hidden)));
                    hidden &= hidden - 1;
                }
                while (touched) {
                    const int k = __builtin_ctz(touched);
                    touched &= touched - 1;
                    const unsigned bit = 1u << k;
                    const int x = m * maskPixels + k;
                    const Nbvalid nb = ((top.keyLeft[m] & bit) ? 0 : nbP00) | ((top.keyRight[m] & bit) ? 0 : nbP10) |
                                       ((bottom.keyLeft[m] & bit) ? 0 : nbP01) |
                                       ((bottom.keyRight[m] & bit) ? 0 : nbP11);
                    samplePixel(out + 3 * x, topRow + 3 * plan.left[x], topRow + 3 * plan.right[x],
                                bottomRow + 3 * plan.left[x], bottomRow + 3 * plan.right[x], nb, plan.fx[x],
                                plan.fy[y], transparency.rate, key);
                }
            }
        }
        if (progress)
            progress(progressAfterRow(y, plan.height));
    }
}

#else

void zoomupAvx2(const Bitmap24& source, Bitmap24& target, const Transparency& transparency, const Progress& progress,
                const ZoomupPlan& plan)
{
    zoomupPortable(source, target, transparency, progress, plan);
}

#endif

}  // namespace clipora::zoom::detail
