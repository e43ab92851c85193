// Area-averaging reduction with AVX2.
//
// Four target pixels of a row are summed side by side, one lane each. Every
// lane runs through its footprint in the order of the plain code (source
// rows top to bottom, in each the columns left to right), so each sum sees
// the same additions in the same order. Lanes whose footprint is narrower
// than the widest one get terms of weight 0, which leave the sums and the
// weight unchanged. Each source row is widened once to four bytes a pixel
// (blue, green, red, 0), from which a gather fetches the four lanes'
// pixels of one term.

#include <cstring>

#include "zoom/calc/avx2.h"
#include "zoom/calc/kernels.h"

namespace clipora::zoom::detail {

#if CLIPORA_ZOOM_AVX2

namespace {

constexpr int lanes = 4;

// One source row as 0x00RRGGBB per pixel.
struct WideRow {
    int row = -1;
    std::vector<std::uint32_t> pixels;
};

CLIPORA_AVX2 void widen(const std::uint8_t* src, int width, std::uint32_t* out)
{
    const __m128i spread = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    int x = 0;
    // A 16-byte read at pixel x stays within the row while x + 6 <= width.
    for (; x + 6 <= width; x += 4) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 3 * x));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm_shuffle_epi8(v, spread));
    }
    for (; x < width; ++x)
        out[x] = src[3 * x] | (src[3 * x + 1] << 8) | (std::uint32_t{src[3 * x + 2]} << 16);
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
        index_.assign(static_cast<std::size_t>(chunks_) * span_ * lanes, 0);
        wholeColumn_.assign(static_cast<std::size_t>(chunks_) * span_, 0);
        for (int k = 0; k < span_; ++k)
            for (int x = 0; x < plan.width; ++x)
                weights_[static_cast<std::size_t>(k) * padded_ + x] = across.w(k, x);
        for (int c = 0; c < chunks_; ++c)
            for (int k = 0; k < span_; ++k) {
                bool whole = true;
                for (int l = 0; l < lanes; ++l) {
                    const int x = std::min(c * lanes + l, plan.width - 1);
                    index_[(static_cast<std::size_t>(c) * span_ + k) * lanes + l] =
                        std::min(across.first[x] + k, plan.srcWidth - 1);
                    whole = whole && weights_[static_cast<std::size_t>(k) * padded_ + c * lanes + l] == 1.0;
                }
                wholeColumn_[static_cast<std::size_t>(c) * span_ + k] = whole;
            }
        // The rows of one target row are consecutive and at most span
        // many, so a ring one longer holds them all and keeps a row shared
        // with the next target row.
        rows_.resize(static_cast<std::size_t>(plan.down.span) + 1);
        for (WideRow& r : rows_)
            r.pixels.assign(static_cast<std::size_t>(plan.srcWidth), 0);
        keyed_ = transparency.on;
    }

    void reduceRow(int y, std::uint8_t* out)
    {
        const int first = plan_.down.first[y], count = plan_.down.count[y];
        rowsOfTarget_.resize(static_cast<std::size_t>(count));
        for (int k = 0; k < count; ++k) {
            WideRow& slot = rows_[static_cast<std::size_t>(first + k) % rows_.size()];
            if (slot.row != first + k) {
                widen(source_.row(first + k), plan_.srcWidth, slot.pixels.data());
                slot.row = first + k;
            }
            rowsOfTarget_[static_cast<std::size_t>(k)] = slot.pixels.data();
        }
        if (keyed_)
            reduceRowWith<true>(y, count, out);
        else
            reduceRowWith<false>(y, count, out);
    }

private:
    template <bool Keyed>
    CLIPORA_AVX2 void reduceRowWith(int y, int count, std::uint8_t* out) const
    {
        const __m128i low8 = _mm_set1_epi32(0xFF);
        const __m128i key = _mm_set1_epi32(static_cast<int>(Bgr(transparency_.colour).packed()));
        for (int c = 0; c < chunks_; ++c) {
            __m256d sumB = _mm256_setzero_pd(), sumG = sumB, sumR = sumB;
            __m128 weight = _mm_set1_ps(plan_.area);
            const int* index = index_.data() + static_cast<std::size_t>(c) * span_ * lanes;
            const double* wx = weights_.data() + c * lanes;
            const char* whole = wholeColumn_.data() + static_cast<std::size_t>(c) * span_;
            for (int ki = 0; ki < count; ++ki) {
                const double wyValue = plan_.down.w(ki, y);
                const __m256d wy = _mm256_set1_pd(wyValue);
                const int* row = reinterpret_cast<const int*>(rowsOfTarget_[static_cast<std::size_t>(ki)]);
                for (int k = 0; k < span_; ++k) {
                    const __m128i p =
                        _mm_i32gather_epi32(row, _mm_loadu_si128(reinterpret_cast<const __m128i*>(index + lanes * k)), 4);
                    const __m256d b = _mm256_cvtepi32_pd(_mm_and_si128(p, low8));
                    const __m256d g = _mm256_cvtepi32_pd(_mm_and_si128(_mm_srli_epi32(p, 8), low8));
                    const __m256d r = _mm256_cvtepi32_pd(_mm_srli_epi32(p, 16));
                    __m256d w, tb, tg, tr;
                    if (wyValue == 1 && whole[k]) {
                        // Every weight exactly 1: w v is v itself.
                        w = _mm256_set1_pd(1.0);
                        tb = b;
                        tg = g;
                        tr = r;
                    } else {
                        w = _mm256_mul_pd(_mm256_loadu_pd(wx + static_cast<std::size_t>(k) * padded_), wy);
                        tb = _mm256_mul_pd(w, b);
                        tg = _mm256_mul_pd(w, g);
                        tr = _mm256_mul_pd(w, r);
                    }
                    if constexpr (Keyed) {
                        // A pixel of the transparent colour adds nothing (its
                        // terms are non-negative, so adding +0 is exact) and
                        // takes its weight off the pixel's.
                        const __m128i hidden32 = _mm_cmpeq_epi32(p, key);
                        if (_mm_movemask_epi8(hidden32)) {
                            const __m256d hidden = _mm256_castsi256_pd(_mm256_cvtepi32_epi64(hidden32));
                            tb = _mm256_andnot_pd(hidden, tb);
                            tg = _mm256_andnot_pd(hidden, tg);
                            tr = _mm256_andnot_pd(hidden, tr);
                            const __m128 less = _mm256_cvtpd_ps(_mm256_sub_pd(_mm256_cvtps_pd(weight), w));
                            weight = _mm_blendv_ps(weight, less, _mm_castsi128_ps(hidden32));
                        }
                    }
                    sumB = _mm256_add_pd(sumB, tb);
                    sumG = _mm256_add_pd(sumG, tg);
                    sumR = _mm256_add_pd(sumR, tr);
                }
            }
            finishChunk<Keyed>(sumB, sumG, sumR, weight, out + 3 * c * lanes, std::min(lanes, plan_.width - c * lanes));
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
    std::vector<double> weights_;      // weights_[k * padded + x], zero beyond each footprint and the row
    std::vector<int> index_;           // per chunk and term: the source column of each lane
    std::vector<char> wholeColumn_;    // per chunk and term: every weight across is 1
    std::vector<WideRow> rows_;        // a ring: source row r in slot r % size
    std::vector<const std::uint32_t*> rowsOfTarget_;
};

}  // namespace

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

void zoomdownAvx2(const Bitmap24& source, Bitmap24& target, const Transparency& transparency,
                  const Progress& progress, const ZoomdownPlan& plan)
{
    zoomdownPortable(source, target, transparency, progress, plan);
}

#endif

}  // namespace clipora::zoom::detail
