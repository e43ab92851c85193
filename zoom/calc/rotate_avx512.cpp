// Rotation with AVX-512.
//
// Eight target pixels of a row at a time: their source positions are
// computed exactly as in the plain code, the two neighbour pairs of each are
// read as eight bytes each (and the lines of the pixels rotationRowsAhead
// rows below asked for), and pixels whose four neighbours all lie in the
// picture are interpolated in double precision with the plain code's
// operations. Pixels whose neighbours all lie outside take the gap colour
// (coverage 0 without frame correction, four gap colours with it). The few
// others (the picture's border, neighbours of the transparent colour) are
// computed one by one by the exact per-pixel rule.

#include "zoom/calc/avx512.h"
#include "zoom/calc/kernels.h"

#include <climits>
#include <cstdint>
#include <cstring>

namespace clipora::zoom::detail {

#if CLIPORA_ZOOM_AVX512

namespace {

constexpr int lanes = 8;

// One channel of eight pixels: ((p00 + fx d10) + fy d01) + (fx fy) d11, the
// neighbours as 64-bit integers.
CLIPORA_AVX512 inline __m256i bilinear(__m512i p00, __m512i p10, __m512i p01, __m512i p11, __m512d fx, __m512d fy,
                                       __m512d fxfy)
{
    const __m512i d10 = _mm512_sub_epi64(p10, p00);
    const __m512i d01 = _mm512_sub_epi64(p01, p00);
    const __m512i d11 = _mm512_sub_epi64(_mm512_sub_epi64(_mm512_add_epi64(p00, p11), p10), p01);
    __m512d v = _mm512_add_pd(_mm512_cvtepi64_pd(p00), _mm512_mul_pd(fx, _mm512_cvtepi64_pd(d10)));
    v = _mm512_add_pd(v, _mm512_mul_pd(fy, _mm512_cvtepi64_pd(d01)));
    v = _mm512_add_pd(v, _mm512_mul_pd(fxfy, _mm512_cvtepi64_pd(d11)));
    return _mm512_cvt_roundpd_epi32(v, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
}

// Byte `at` of each 64-bit lane, alone in its lane.
CLIPORA_AVX512 inline __m512i byteOfLanes(__m512i v, int at)
{
    alignas(64) std::uint8_t control[64];
    for (int i = 0; i < 64; ++i)
        control[i] = i % 8 == 0 ? static_cast<std::uint8_t>((i % 16) + at) : 0x80;
    return _mm512_shuffle_epi8(v, _mm512_load_si512(control));
}

struct RowContext {
    const Bitmap24& source;
    const RotatePlan& plan;
    const Transparency& transparency;
    const double* cdx;  // padded to whole chunks
    const double* sdx;
    int ahead;  // rotationAhead
};

// Returns the lanes left for the exact per-pixel rule.
CLIPORA_AVX512 __attribute__((always_inline)) inline unsigned rotateChunk(const RowContext& rc, int x, int y,
                                                                        std::uint8_t* out)
{
    const RotatePlan& plan = rc.plan;
    const __m512d sx = _mm512_add_pd(_mm512_add_pd(_mm512_loadu_pd(rc.cdx + x), _mm512_set1_pd(plan.sdy[y])),
                                     _mm512_set1_pd(plan.offsetX));
    const __m512d negSdx = _mm512_castsi512_pd(
        _mm512_xor_si512(_mm512_castpd_si512(_mm512_loadu_pd(rc.sdx + x)), _mm512_set1_epi64(INT64_MIN)));
    const __m512d sy =
        _mm512_add_pd(_mm512_add_pd(negSdx, _mm512_set1_pd(plan.cdy[y])), _mm512_set1_pd(plan.offsetY));
    const __m512d floorX = _mm512_roundscale_pd(sx, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC);
    const __m512d floorY = _mm512_roundscale_pd(sy, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC);
    const __m512d fx = _mm512_sub_pd(sx, floorX), fy = _mm512_sub_pd(sy, floorY);
    // Out-of-range positions convert to INT_MIN and count as outside.
    const __m256i x0 = _mm512_cvttpd_epi32(floorX), y0 = _mm512_cvttpd_epi32(floorY);
    const int w = plan.srcWidth, h = plan.srcHeight;
    const __mmask8 inside = _mm256_cmpge_epi32_mask(x0, _mm256_setzero_si256()) &
                            _mm256_cmple_epi32_mask(x0, _mm256_set1_epi32(w - 2)) &
                            _mm256_cmpge_epi32_mask(y0, _mm256_setzero_si256()) &
                            _mm256_cmple_epi32_mask(y0, _mm256_set1_epi32(h - 2));
    const __mmask8 outside = _mm256_cmplt_epi32_mask(x0, _mm256_set1_epi32(-1)) |
                             _mm256_cmpgt_epi32_mask(x0, _mm256_set1_epi32(w - 1)) |
                             _mm256_cmplt_epi32_mask(y0, _mm256_set1_epi32(-1)) |
                             _mm256_cmpgt_epi32_mask(y0, _mm256_set1_epi32(h - 1));
    const int n = std::min(lanes, plan.width - x);
    const __mmask8 present = static_cast<__mmask8>((1u << n) - 1);
    const __m256i gap = _mm256_set1_epi32(static_cast<int>(plan.gap.packed()));
    const __m256i pack = _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, 16, 17, 18, 20, 21, 22, 24, 25, 26,
                                          28, 29, 30, 0, 0, 0, 0, 0, 0, 0, 0);
    const __mmask32 bytes = (1u << (3 * n)) - 1;
    if ((inside & present) == 0) {
        _mm256_mask_storeu_epi8(out, bytes, _mm256_permutexvar_epi8(pack, gap));
        return present & ~outside;
    }
    // p00 and p10 are read together as eight bytes (likewise p01 and p11);
    // the last two may lie past the bitmap's end, so the lanes that would
    // read there are left out.
    const int stride = static_cast<int>(rc.source.stride());
    const long long lastSafe = static_cast<long long>(rc.source.stride()) * h - stride - 8;
    const __m256i offset = _mm256_add_epi32(_mm256_mullo_epi32(y0, _mm256_set1_epi32(stride)),
                                            _mm256_mullo_epi32(x0, _mm256_set1_epi32(3)));
    const __mmask8 gathered =
        inside & _mm256_cmple_epi32_mask(offset, _mm256_set1_epi32(static_cast<int>(lastSafe)));
    // Read one by one: quicker than gathers on the processors measured. A
    // lane left out reads the bitmap's first bytes instead.
    alignas(32) std::int32_t at[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(at), _mm256_maskz_mov_epi32(gathered, offset));
    const std::uint8_t* base = rc.source.data();
    // The lines that the same pixels rotationRowsAhead rows below will read.
    alignas(32) std::int32_t ahead[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(ahead),
                       _mm256_maskz_mov_epi32(gathered, _mm256_add_epi32(offset, _mm256_set1_epi32(rc.ahead))));
    for (int k = 0; k < lanes; k += 2)
        prefetchPixelPair(reinterpret_cast<std::uintptr_t>(base) + static_cast<std::uint32_t>(ahead[k]),
                          rc.source.stride());
    const auto eight = [](const std::uint8_t* p) {
        long long v;
        std::memcpy(&v, p, 8);
        return v;
    };
    const __m512i top = _mm512_setr_epi64(eight(base + at[0]), eight(base + at[1]), eight(base + at[2]),
                                          eight(base + at[3]), eight(base + at[4]), eight(base + at[5]),
                                          eight(base + at[6]), eight(base + at[7]));
    const __m512i bottom =
        _mm512_setr_epi64(eight(base + stride + at[0]), eight(base + stride + at[1]), eight(base + stride + at[2]),
                          eight(base + stride + at[3]), eight(base + stride + at[4]), eight(base + stride + at[5]),
                          eight(base + stride + at[6]), eight(base + stride + at[7]));
    __mmask8 interpolated = gathered, hidden = 0;
    if (rc.transparency.on && plan.noFrameCorrection) {
        const __m512i low3 = _mm512_set1_epi64(0xFFFFFF);
        const __m512i key = _mm512_set1_epi64(Bgr(rc.transparency.colour).packed());
        const __mmask8 k00 = _mm512_cmpeq_epi64_mask(_mm512_and_si512(top, low3), key);
        const __mmask8 k10 = _mm512_cmpeq_epi64_mask(_mm512_and_si512(_mm512_srli_epi64(top, 24), low3), key);
        const __mmask8 k01 = _mm512_cmpeq_epi64_mask(_mm512_and_si512(bottom, low3), key);
        const __mmask8 k11 = _mm512_cmpeq_epi64_mask(_mm512_and_si512(_mm512_srli_epi64(bottom, 24), low3), key);
        // Some neighbours transparent: per pixel. All four: coverage 0, the gap colour.
        interpolated = gathered & ~(k00 | k10 | k01 | k11);
        hidden = gathered & k00 & k10 & k01 & k11;
    }
    const __m512d fxfy = _mm512_mul_pd(fx, fy);
    __m256i pixel = _mm256_setzero_si256();
    for (int c = 0; c < 3; ++c) {
        // With four neighbours present the value stays within 0 .. 255.
        const __m256i v = bilinear(byteOfLanes(top, c), byteOfLanes(top, 3 + c), byteOfLanes(bottom, c),
                                   byteOfLanes(bottom, 3 + c), fx, fy, fxfy);
        pixel = _mm256_or_si256(pixel, _mm256_slli_epi32(v, 8 * c));
    }
    pixel = _mm256_mask_blend_epi32(interpolated, gap, pixel);
    _mm256_mask_storeu_epi8(out, bytes, _mm256_permutexvar_epi8(pack, pixel));
    return present & ~interpolated & ~outside & ~hidden;
}

// Target pixels xBegin .. xEnd - 1 of row y (xBegin a multiple of 8).
CLIPORA_AVX512 void rotateRun(const RowContext& rc, int y, int xBegin, int xEnd, std::uint8_t* out)
{
    for (int x = xBegin; x < xEnd; x += lanes) {
        unsigned left = rotateChunk(rc, x, y, out + 3 * x);
        while (left) {
            const int l = __builtin_ctz(left);
            left &= left - 1;
            rotatePixel(out + 3 * (x + l), rc.source, rc.plan, x + l, y, rc.transparency);
        }
    }
}

}  // namespace

void rotateAvx512(const Bitmap24& source, Bitmap24& target, const Transparency& transparency,
                  const Progress& progress, const RotatePlan& plan)
{
    const int chunks = (plan.width + lanes - 1) / lanes;
    std::vector<double> cdx(static_cast<std::size_t>(chunks) * lanes, 0.0), sdx(cdx.size(), 0.0);
    std::copy(plan.cdx.begin(), plan.cdx.end(), cdx.begin());
    std::copy(plan.sdx.begin(), plan.sdx.end(), sdx.begin());
    const RowContext rc{source, plan, transparency, cdx.data(), sdx.data(),
                        static_cast<int>(rotationAhead(plan, source.stride()))};
    // Byte offsets into the source are formed in 32 bits.
    if (static_cast<long long>(source.stride()) * source.height() + 8 > INT32_MAX) {
        rotatePortable(source, target, transparency, progress, plan);
        return;
    }
    // The target is walked in tiles of a band of rows by a run of columns:
    // a turned row crosses thousands of source rows (each on its own memory
    // page), a tile only a compact patch of them. Progress is reported for
    // each row of a band, in order, once the band is done.
    constexpr int bandRows = 32, tileColumns = 32 * lanes;
    for (int band = 0; band < plan.height; band += bandRows) {
        const int bandEnd = std::min(band + bandRows, plan.height);
        for (int tile = 0; tile < plan.width; tile += tileColumns) {
            const int tileEnd = std::min(tile + tileColumns, plan.width);
            for (int y = band; y < bandEnd; ++y)
                rotateRun(rc, y, tile, tileEnd, target.row(y));
        }
        if (progress)
            for (int y = band; y < bandEnd; ++y)
                progress(progressAfterRow(y, plan.height));
    }
}

#else

void rotateAvx512(const Bitmap24& source, Bitmap24& target, const Transparency& transparency,
                  const Progress& progress, const RotatePlan& plan)
{
    rotatePortable(source, target, transparency, progress, plan);
}

#endif

}  // namespace clipora::zoom::detail
