// Bilinear enlargement with AVX-512.
//
// The row is treated as 3 x newx channel values ("elements"). For each source
// row the left and right neighbour of every element is gathered once into
// two byte arrays (with VPERMB, 16 target pixels at a time), together with
// bit masks of the neighbours that have the transparent colour. Each target
// row then blends its two gathered source rows eight elements at a time in
// double precision with exactly the operations of the plain code:
// ((p00 + fx (p10 - p00)) + fy (p01 - p00)) + (fx fy)(p00 + p11 - p10 - p01),
// rounded half to even. Before that, each group of sixteen elements is
// blended in single precision from the source rows' horizontal blends and
// kept where it is provably far from a half (see enlargementScreenMargin).
// Pixels with a transparent neighbour are afterwards recomputed one by one by
// the exact per-pixel rule.

#include "zoom/calc/avx512.h"
#include "zoom/calc/kernels.h"

namespace clipora::zoom::detail {

#if CLIPORA_ZOOM_AVX512

namespace {

constexpr int blockPixels = 16;
constexpr int blockBytes = 3 * blockPixels;

// One source row, gathered for every target element.
struct GatheredRow {
    int row = -1;
    std::vector<std::uint8_t> left, right;  // the p00 / p10 channel value of each element
    std::vector<float> across;               // left + fx (right - left), in single precision
    // Per block of 16 target pixels, bit k: the left (right) neighbour of
    // pixel 16 b + k has the transparent colour.
    std::vector<std::uint16_t> keyLeft, keyRight;
};

class Gatherer {
public:
    Gatherer(const Bitmap24& source, const ZoomupPlan& plan, const Transparency& transparency)
        : source_(source), plan_(plan), keyed_(transparency.on), key_(transparency.colour.value()),
          elements_(3 * plan.width), blocks_((plan.width + blockPixels - 1) / blockPixels),
          rowBytes_(3 * plan.srcWidth)
    {
        base_.resize(blocks_);
        vectorBlock_.resize(blocks_);
        indexLeft_.assign(static_cast<std::size_t>(blocks_) * 64, 0);
        indexRight_.assign(static_cast<std::size_t>(blocks_) * 64, 0);
        for (int b = 0; b < blocks_; ++b) {
            const int first = b * blockPixels, last = std::min(first + blockPixels, plan.width) - 1;
            base_[b] = 3 * plan.left[first];
            // VPERMB reaches 64 bytes: enough for 16 pixels whenever the
            // source advances by at most one pixel per target pixel.
            vectorBlock_[b] = 3 * plan.right[last] + 2 - base_[b] < 64;
            if (!vectorBlock_[b])
                continue;
            for (int x = first; x <= last; ++x)
                for (int c = 0; c < 3; ++c) {
                    const std::size_t i = static_cast<std::size_t>(b) * 64 + 3 * (x - first) + c;
                    indexLeft_[i] = static_cast<std::uint8_t>(3 * plan.left[x] + c - base_[b]);
                    indexRight_[i] = static_cast<std::uint8_t>(3 * plan.right[x] + c - base_[b]);
                }
        }
    }

    void prepare(GatheredRow& g) const
    {
        g.left.assign(static_cast<std::size_t>(blocks_) * blockBytes + 64, 0);
        g.right.assign(static_cast<std::size_t>(blocks_) * blockBytes + 64, 0);
        g.across.assign(static_cast<std::size_t>(blocks_) * blockBytes + 16, 0.0f);
        g.keyLeft.assign(blocks_, 0);
        g.keyRight.assign(blocks_, 0);
    }

    CLIPORA_AVX512 void gather(int r, GatheredRow& g) const
    {
        g.row = r;
        const std::uint8_t* src = source_.row(r);
        // The next row is gathered soon after: ask for it while this one is read.
        const std::uint8_t* next = r + 1 < source_.height() ? source_.row(r + 1) : nullptr;
        const Bgr key(key_);
        // The key colour repeated over 48 bytes, in pixel order.
        alignas(64) std::uint8_t pattern[64] = {};
        for (int i = 0; i < blockBytes; i += 3) {
            pattern[i] = key.b;
            pattern[i + 1] = key.g;
            pattern[i + 2] = key.r;
        }
        const __m512i keyPattern = _mm512_load_si512(pattern);
        for (int b = 0; b < blocks_; ++b) {
            const int first = b * blockPixels;
            const int pixels = std::min(blockPixels, plan_.width - first);
            std::uint8_t* outLeft = g.left.data() + static_cast<std::size_t>(b) * blockBytes;
            std::uint8_t* outRight = g.right.data() + static_cast<std::size_t>(b) * blockBytes;
            if (vectorBlock_[b]) {
                const int available = rowBytes_ - base_[b];
                const __mmask64 loadMask = available >= 64 ? ~__mmask64{0} : (__mmask64{1} << available) - 1;
                if (next)
                    _mm_prefetch(reinterpret_cast<const char*>(next + base_[b]), _MM_HINT_T0);
                // A plain load wherever the window lies within the row:
                // masked ones proved slow on the AMD processor measured.
                const __m512i data = available >= 64 ? _mm512_loadu_si512(src + base_[b])
                                                     : _mm512_maskz_loadu_epi8(loadMask, src + base_[b]);
                const __m512i l = _mm512_permutexvar_epi8(
                    _mm512_loadu_si512(indexLeft_.data() + static_cast<std::size_t>(b) * 64), data);
                const __m512i rr = _mm512_permutexvar_epi8(
                    _mm512_loadu_si512(indexRight_.data() + static_cast<std::size_t>(b) * 64), data);
                _mm512_storeu_si512(outLeft, l);
                _mm512_storeu_si512(outRight, rr);
                if (keyed_) {
                    const std::uint16_t valid = static_cast<std::uint16_t>((1u << pixels) - 1);
                    g.keyLeft[b] = static_cast<std::uint16_t>(pixelsMatching(l, keyPattern) & valid);
                    g.keyRight[b] = static_cast<std::uint16_t>(pixelsMatching(rr, keyPattern) & valid);
                }
            } else {
                std::uint16_t keyLeft = 0, keyRight = 0;
                for (int k = 0; k < pixels; ++k) {
                    const std::uint8_t* pl = src + 3 * plan_.left[first + k];
                    const std::uint8_t* pr = src + 3 * plan_.right[first + k];
                    for (int c = 0; c < 3; ++c) {
                        outLeft[3 * k + c] = pl[c];
                        outRight[3 * k + c] = pr[c];
                    }
                    if (keyed_) {
                        keyLeft = static_cast<std::uint16_t>(keyLeft | (key.matches(pl) << k));
                        keyRight = static_cast<std::uint16_t>(keyRight | (key.matches(pr) << k));
                    }
                }
                g.keyLeft[b] = keyLeft;
                g.keyRight[b] = keyRight;
            }
        }
    }

    int elements() const { return elements_; }
    int blocks() const { return blocks_; }

    // The row's horizontal blend, sixteen elements at a time.
    CLIPORA_AVX512 void blendAcross(GatheredRow& g, const float* fx3) const
    {
        for (int e = 0; e < elements_; e += 16) {
            const __m512 l = _mm512_cvtepi32_ps(
                _mm512_cvtepu8_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(g.left.data() + e))));
            const __m512 r = _mm512_cvtepi32_ps(
                _mm512_cvtepu8_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(g.right.data() + e))));
            _mm512_storeu_ps(g.across.data() + e,
                             _mm512_add_ps(l, _mm512_mul_ps(_mm512_loadu_ps(fx3 + e), _mm512_sub_ps(r, l))));
        }
    }

private:
    // Bit k set when bytes 3k .. 3k + 2 of v equal those of the pattern.
    CLIPORA_AVX512 static unsigned pixelsMatching(__m512i v, __m512i pattern)
    {
        const std::uint64_t eq = _mm512_cmpeq_epi8_mask(v, pattern);
        return static_cast<unsigned>(_pext_u64(eq & (eq >> 1) & (eq >> 2), 0x0000249249249249ull));
    }

    const Bitmap24& source_;
    const ZoomupPlan& plan_;
    bool keyed_;
    std::uint32_t key_;
    int elements_, blocks_, rowBytes_;
    std::vector<int> base_;
    std::vector<char> vectorBlock_;
    std::vector<std::uint8_t> indexLeft_, indexRight_;
};

// Eight elements: ((p00 + fx d10) + fy d01) + (fx fy) d11, rounded half to even.
CLIPORA_AVX512 inline __m256i blendEight(__m256i p00, __m256i d10, __m256i d01, __m256i d11, const double* fx3,
                                         __m512d fy)
{
    const __m512d fx = _mm512_loadu_pd(fx3);
    const __m512d fxfy = _mm512_mul_pd(fx, fy);
    __m512d v = _mm512_add_pd(_mm512_cvtepi32_pd(p00), _mm512_mul_pd(fx, _mm512_cvtepi32_pd(d10)));
    v = _mm512_add_pd(v, _mm512_mul_pd(fy, _mm512_cvtepi32_pd(d01)));
    v = _mm512_add_pd(v, _mm512_mul_pd(fxfy, _mm512_cvtepi32_pd(d11)));
    return _mm512_cvt_roundpd_epi32(v, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
}

CLIPORA_AVX512 inline __m512i sixteenValues(const std::uint8_t* p)
{
    return _mm512_cvtepu8_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}

// Sixteen rounded values, clamped to bytes, into out (fewer than sixteen when
// `room` is less). The bytes are packed in a register and stored whole:
// converting and masked stores proved slow on the AMD processor measured.
CLIPORA_AVX512 inline void storeSixteen(std::uint8_t* out, int room, __m512i values)
{
    const __m512i lowBytes = _mm512_setr_epi32(0x0c080400, 0x1c181410, 0x2c282420, 0x3c383430, 0, 0, 0, 0, 0, 0, 0, 0,
                                               0, 0, 0, 0);
    const __m512i clamped = _mm512_min_epi32(_mm512_max_epi32(values, _mm512_setzero_si512()), _mm512_set1_epi32(255));
    const __m128i bytes = _mm512_castsi512_si128(_mm512_permutexvar_epi8(lowBytes, clamped));
    if (room >= 16)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), bytes);
    else
        _mm_mask_storeu_epi8(out, static_cast<__mmask16>((1u << room) - 1), bytes);
}

// One target row from the gathered top (p00, p10) and bottom (p01, p11) rows.
CLIPORA_AVX512 void blendExactly(const GatheredRow& top, const GatheredRow& bottom, const double* fx3, double fy,
                                 std::uint8_t* out, int elements)
{
    const __m512d vfy = _mm512_set1_pd(fy);
    for (int e = 0; e < elements; e += 16) {
        const __m512i p00 = sixteenValues(top.left.data() + e);
        const __m512i p10 = sixteenValues(top.right.data() + e);
        const __m512i p01 = sixteenValues(bottom.left.data() + e);
        const __m512i p11 = sixteenValues(bottom.right.data() + e);
        const __m512i d10 = _mm512_sub_epi32(p10, p00);  // p10 - p00
        const __m512i d01 = _mm512_sub_epi32(p01, p00);  // p01 - p00
        const __m512i d11 = _mm512_sub_epi32(_mm512_sub_epi32(_mm512_add_epi32(p00, p11), p10), p01);
        const __m256i lo = blendEight(_mm512_castsi512_si256(p00), _mm512_castsi512_si256(d10),
                                      _mm512_castsi512_si256(d01), _mm512_castsi512_si256(d11), fx3 + e, vfy);
        const __m256i hi = blendEight(_mm512_extracti64x4_epi64(p00, 1), _mm512_extracti64x4_epi64(d10, 1),
                                      _mm512_extracti64x4_epi64(d01, 1), _mm512_extracti64x4_epi64(d11, 1), fx3 + e + 8,
                                      vfy);
        storeSixteen(out + e, elements - e, _mm512_inserti64x4(_mm512_castsi256_si512(lo), hi, 1));
    }
}

// A row through the screen: every element in single precision, and those
// near a half listed in `near`; returns how many. `exact`: per group, bit k
// set when element k is blended exactly in single precision too (null when
// the row's fy is not such a fraction).
template <Screen How>
CLIPORA_AVX512 int screenRow(const GatheredRow& top, const GatheredRow& bottom, double fy, std::uint8_t* out,
                             int elements, const std::uint16_t* exact, std::int32_t* near)
{
    const __m512 sfy = _mm512_set1_ps(static_cast<float>(fy));
    const __m512 limit = _mm512_set1_ps(0.5f - enlargementScreenMargin);
    const __m512 sign = _mm512_set1_ps(-0.0f);
    const __m512i lanes = _mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    int count = 0;
    for (int e = 0; e < elements; e += 16) {
        const __m512 a = _mm512_loadu_ps(top.across.data() + e), b = _mm512_loadu_ps(bottom.across.data() + e);
        const __m512 f = _mm512_add_ps(a, _mm512_mul_ps(sfy, _mm512_sub_ps(b, a)));
        const __m512i r = _mm512_cvtps_epi32(f);
        const __m512 off = _mm512_andnot_ps(sign, _mm512_sub_ps(f, _mm512_cvtepi32_ps(r)));
        __mmask16 m = _mm512_cmp_ps_mask(off, limit, _CMP_GE_OQ);
        if (exact)
            m = static_cast<__mmask16>(m & ~exact[e / 16]);
        storeSixteen(out + e, elements - e, r);
        if (How == Screen::listNearGroups && m == 0)
            continue;
        _mm512_mask_compressstoreu_epi32(near + count, m, _mm512_add_epi32(lanes, _mm512_set1_epi32(e)));
        count += __builtin_popcount(m);
    }
    return count;
}

// One target row, blended as `screen` says; returns how many elements were
// blended in double precision after the screen found them near a half.
CLIPORA_AVX512 int blendRow(const GatheredRow& top, const GatheredRow& bottom, const double* fx3, double fy,
                            std::uint8_t* out, int elements, Screen screen, const std::uint16_t* exactGroups,
                            std::vector<std::int32_t>& near)
{
    if (screen == Screen::off) {
        blendExactly(top, bottom, fx3, fy, out, elements);
        return 0;
    }
    const std::uint16_t* exact = isShortDyadic(fy) ? exactGroups : nullptr;
    const int count = screen == Screen::listNearGroups
                          ? screenRow<Screen::listNearGroups>(top, bottom, fy, out, elements, exact, near.data())
                          : screenRow<Screen::listEveryGroup>(top, bottom, fy, out, elements, exact, near.data());
    blendListed(top, bottom, fx3, fy, out, elements, near.data(), count);
    return count;
}

}  // namespace

void zoomupAvx512(const Bitmap24& source, Bitmap24& target, const Transparency& transparency,
                  const Progress& progress, const ZoomupPlan& plan)
{
    const Gatherer gatherer(source, plan, transparency);
    const int elements = gatherer.elements();
    const ElementFractions<std::uint16_t, 16> fractions(plan.fx);
    Screen screen = Screen::listEveryGroup;
    long long screened = 0, redone = 0;
    std::vector<std::int32_t> near(static_cast<std::size_t>(elements) + 32);
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
        gatherer.gather(r, *victim);
        if (screen != Screen::off)
            gatherer.blendAcross(*victim, fractions.fxf.data());
        return *victim;
    };
    const Bgr key(transparency.colour);
    for (int y = 0; y < plan.height; ++y) {
        const GatheredRow& top = fetch(plan.top[y], nullptr);
        const GatheredRow& bottom = fetch(plan.bottom[y], &top);
        std::uint8_t* out = target.row(y);
        redone += blendRow(top, bottom, fractions.fx.data(), plan.fy[y], out, elements, screen, fractions.exact.data(),
                           near);
        screened += elements;
        if (y + 1 == enlargementScreenTrialRows)
            screen = screenAfterTrial(screened, redone, 64, 64);
        if (transparency.on) {
            const std::uint8_t* topRow = source.row(top.row);
            const std::uint8_t* bottomRow = source.row(bottom.row);
            for (int b = 0; b < gatherer.blocks(); ++b) {
                unsigned touched = top.keyLeft[b] | top.keyRight[b] | bottom.keyLeft[b] | bottom.keyRight[b];
                // No neighbour present: coverage 0, refused for every rate.
                unsigned hidden = top.keyLeft[b] & top.keyRight[b] & bottom.keyLeft[b] & bottom.keyRight[b];
                touched &= ~hidden;
                while (hidden) {
                    key.store(out + 3 * (b * blockPixels + __builtin_ctz(hidden)));
                    hidden &= hidden - 1;
                }
                while (touched) {
                    const int k = __builtin_ctz(touched);
                    touched &= touched - 1;
                    const unsigned bit = 1u << k;
                    const int x = b * blockPixels + k;
                    const Nbvalid nb = ((top.keyLeft[b] & bit) ? 0 : nbP00) | ((top.keyRight[b] & bit) ? 0 : nbP10) |
                                       ((bottom.keyLeft[b] & bit) ? 0 : nbP01) |
                                       ((bottom.keyRight[b] & bit) ? 0 : nbP11);
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

void zoomupAvx512(const Bitmap24& source, Bitmap24& target, const Transparency& transparency,
                  const Progress& progress, const ZoomupPlan& plan)
{
    zoomupPortable(source, target, transparency, progress, plan);
}

#endif

}  // namespace clipora::zoom::detail
