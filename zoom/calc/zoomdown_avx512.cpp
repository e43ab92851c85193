// Area-averaging reduction with AVX-512.
//
// Eight target pixels of a row are summed side by side, one lane each. Every
// lane runs through its footprint in the order of the plain code (source
// rows top to bottom, in each the columns left to right), so each sum sees
// the same additions in the same order. Lanes whose footprint is narrower
// than the widest one get terms of weight 0, which leave the sums and the
// weight unchanged. The source rows are split into blue, green and red planes
// once, and VPERMB picks each lane's column out of a 64-byte window of a
// plane. Footprints too wide for the window are summed by the plain code.

#include "zoom/calc/avx512.h"
#include "zoom/calc/kernels.h"

namespace clipora::zoom::detail {

#if CLIPORA_ZOOM_AVX512

namespace {

constexpr int lanes = 8;

// A source row split into its three channels, each with room to read 64
// bytes from any column.
struct PlanarRow {
    int row = -1;
    std::vector<std::uint8_t> plane[3];  // blue, green, red
};

// Byte k of channel c of 64 pixels is byte 3k + c of their 192 bytes:
// `low` picks it from the first 128 bytes, `high` from the last 64.
struct SplitTables {
    alignas(64) std::uint8_t low[3][64];
    alignas(64) std::uint8_t high[3][64];
    constexpr SplitTables() : low{}, high{}
    {
        for (int c = 0; c < 3; ++c)
            for (int k = 0; k < 64; ++k) {
                low[c][k] = static_cast<std::uint8_t>((3 * k + c) & 127);
                high[c][k] = static_cast<std::uint8_t>((3 * k + c - 128) & 63);
            }
    }
};
constexpr SplitTables splitTables;

constexpr int piecePixels = 64;

// Splits pixels 64 p .. 64 p + 63 of a source row (fewer at the row's end).
CLIPORA_AVX512 void splitPiece(const std::uint8_t* src, int width, int p, PlanarRow& out)
{
    const int x = p * piecePixels;
    if (x + piecePixels <= width) {
        const std::uint8_t* at = src + 3 * x;
        const __m512i a = _mm512_loadu_si512(at), b = _mm512_loadu_si512(at + 64), c = _mm512_loadu_si512(at + 128);
        // Output byte k of channel ch comes from c when 3k + ch >= 128,
        // that is from k = 43 (blue, green) or k = 42 (red) on.
        const __mmask64 fromC[3] = {~((__mmask64{1} << 43) - 1), ~((__mmask64{1} << 43) - 1),
                                    ~((__mmask64{1} << 42) - 1)};
#pragma GCC unroll 3
        for (int ch = 0; ch < 3; ++ch) {
            const __m512i fromAB = _mm512_permutex2var_epi8(a, _mm512_load_si512(splitTables.low[ch]), b);
            const __m512i v =
                _mm512_mask_permutexvar_epi8(fromAB, fromC[ch], _mm512_load_si512(splitTables.high[ch]), c);
            _mm512_storeu_si512(out.plane[ch].data() + x, v);
        }
        return;
    }
    for (int i = x; i < width; ++i)
        for (int ch = 0; ch < 3; ++ch)
            out.plane[ch][i] = src[3 * i + ch];
}

struct Chunk {
    int first;  // the first target column
    int base;   // the source column at byte 0 of the window
    bool vector;
};

class Reducer {
public:
    Reducer(const Bitmap24& source, const ZoomdownPlan& plan, const Transparency& transparency)
        : source_(source), plan_(plan), transparency_(transparency),
          span_(plan.across.span), chunks_((plan.width + lanes - 1) / lanes),
          reciprocalArea_(1.0 / static_cast<double>(plan.area))
    {
        const FootprintAxis& across = plan.across;
        const int padded = chunks_ * lanes;
        weights_.assign(static_cast<std::size_t>(span_) * padded, 0.0);
        for (int k = 0; k < span_; ++k)
            for (int x = 0; x < plan.width; ++x)
                weights_[static_cast<std::size_t>(k) * padded + x] = across.w(k, x);
        chunk_.resize(chunks_);
        index_.assign(static_cast<std::size_t>(chunks_) * span_ * 64, 0);
        for (int c = 0; c < chunks_; ++c) {
            Chunk& ch = chunk_[c];
            ch.first = c * lanes;
            ch.base = across.first[ch.first];
            const int last = std::min(ch.first + lanes, plan.width) - 1;
            ch.vector = std::min(across.first[last] + span_ - 1, plan.srcWidth - 1) - ch.base < 64;
            if (!ch.vector)
                continue;
            for (int k = 0; k < span_; ++k)
                for (int l = 0; l < lanes; ++l) {
                    const int x = std::min(ch.first + l, last);
                    const int column = std::min(across.first[x] + k, plan.srcWidth - 1);
                    index_[(static_cast<std::size_t>(c) * span_ + k) * 64 + 8 * l] =
                        static_cast<std::uint8_t>(column - ch.base);
                }
        }
        // Terms whose weight across is exactly 1 in all eight lanes.
        wholeColumn_.assign(static_cast<std::size_t>(chunks_) * span_, 0);
        for (int c = 0; c < chunks_; ++c)
            for (int k = 0; k < span_; ++k) {
                bool whole = true;
                for (int l = 0; l < lanes; ++l)
                    whole = whole && weights_[static_cast<std::size_t>(k) * padded + c * lanes + l] == 1.0;
                wholeColumn_[static_cast<std::size_t>(c) * span_ + k] = whole;
            }
        single_ = transparency.on ? kernelFor<true, 1>(span_) : kernelFor<false, 1>(span_);
        pair_ = transparency.on ? kernelFor<true, 2>(span_) : kernelFor<false, 2>(span_);
        pieces_ = (plan.srcWidth + piecePixels - 1) / piecePixels;
        // The rows of two consecutive target rows: at most 2 x span, consecutive.
        rows_.resize(2 * static_cast<std::size_t>(plan.down.span) + 1);
        for (PlanarRow& r : rows_)
            for (auto& plane : r.plane)
                plane.assign(static_cast<std::size_t>(plan.srcWidth) + 64, 0);
    }

    void reduceRow(int y, std::uint8_t* out)
    {
        const int first = plan_.down.first[y], count = plan_.down.count[y];
        // Rows not split ahead by the row before (the first row's, or all
        // of them when rows are shared) are split now.
        for (int r = first; r < first + count; ++r) {
            PlanarRow& slot = slotOf(r);
            if (slot.row != r) {
                for (int p = 0; p < pieces_; ++p)
                    splitPiece(source_.row(r), plan_.srcWidth, p, slot);
                slot.row = r;
            }
        }
        const PlanarRow* rows[64];
        const PlanarRow** used = rows;
        std::vector<const PlanarRow*> many;
        if (count > 64) {
            many.resize(count);
            used = many.data();
        }
        for (int k = 0; k < count; ++k)
            used[k] = &slotOf(first + k);
        // The rows that the next target row adds are split a few pieces per
        // chunk, so that their reading from memory overlaps this row's sums;
        // the rows after those are prefetched likewise.
        Ahead split, fetch;
        if (y + 1 < plan_.height)
            split = aheadOf(first + count, y + 1);
        if (y + 2 < plan_.height)
            fetch = aheadOf(std::max(first + count, plan_.down.first[y + 1] + plan_.down.count[y + 1]), y + 2);
        const int splitPerChunk = (split.rows * pieces_ + chunks_ - 1) / chunks_;
        const std::uint8_t* fetchAt = fetch.rows ? source_.row(fetch.first) : nullptr;
        const std::uint8_t* fetchEnd = fetch.rows ? source_.row(fetch.first + fetch.rows - 1) +
                                                        3 * static_cast<std::size_t>(plan_.srcWidth)
                                                  : nullptr;
        const int fetchPerChunk = fetch.rows ? static_cast<int>((fetchEnd - fetchAt) / 64 / chunks_ + 1) : 0;
        int splitRow = split.first, splitPieceAt = 0;
        const int splitEnd = split.first + split.rows;
        PlanarRow* splitSlot = splitRow < splitEnd ? &slotOf(splitRow) : nullptr;
        for (int c = 0; c < chunks_;) {
            const bool pair = c + 1 < chunks_ && chunk_[c].vector && chunk_[c + 1].vector;
            const int step = pair ? 2 : 1;
            for (int k = 0; k < step * splitPerChunk && splitRow < splitEnd; ++k) {
                splitPiece(source_.row(splitRow), plan_.srcWidth, splitPieceAt, *splitSlot);
                if (++splitPieceAt == pieces_) {
                    splitSlot->row = splitRow;
                    splitPieceAt = 0;
                    if (++splitRow < splitEnd)
                        splitSlot = &slotOf(splitRow);
                }
            }
            for (int k = 0; k < step * fetchPerChunk && fetchAt < fetchEnd; ++k, fetchAt += 64)
                _mm_prefetch(reinterpret_cast<const char*>(fetchAt), _MM_HINT_T1);
            if (pair) {
                (this->*pair_)(c, y, used, count, out);
            } else if (chunk_[c].vector) {
                (this->*single_)(c, y, used, count, out);
            } else {
                for (int x = chunk_[c].first; x < std::min(chunk_[c].first + lanes, plan_.width); ++x)
                    reducePixel(out + 3 * x, source_, plan_, x, y, transparency_);
            }
            c += step;
        }
    }

private:
    // Source rows from `from` up to the last row of target row t.
    struct Ahead {
        int first = 0, rows = 0;
    };
    Ahead aheadOf(int from, int t) const
    {
        const int start = std::max(from, plan_.down.first[t]);
        return {start, std::max(0, plan_.down.first[t] + plan_.down.count[t] - start)};
    }

    PlanarRow& slotOf(int r) { return rows_[static_cast<std::size_t>(r) % rows_.size()]; }

    // The sums of `Ways` consecutive chunks, interleaved so that their
    // independent additions overlap. `Span` is the footprint width when
    // known at compile time (0: read span_), so common widths run unrolled.
    template <bool Keyed, int Span, int Ways>
    CLIPORA_AVX512 void reduceChunks(int c, int y, const PlanarRow* const* rows, int count, std::uint8_t* out) const
    {
        const int span = Span ? Span : span_;
        const int padded = chunks_ * lanes;
        const Bgr key(transparency_.colour);
        const __m512i keyB = _mm512_set1_epi64(key.b), keyG = _mm512_set1_epi64(key.g), keyR = _mm512_set1_epi64(key.r);
        const __mmask64 lowBytes = 0x0101010101010101ull;  // each value alone in a 64-bit lane
        const std::uint8_t* index[Ways];
        const double* wx[Ways];
        int base[Ways];
        __m512d sumB[Ways], sumG[Ways], sumR[Ways];
        __m256 weight[Ways];
#pragma GCC unroll 4
        for (int v = 0; v < Ways; ++v) {
            const Chunk& ch = chunk_[c + v];
            index[v] = index_.data() + static_cast<std::size_t>(c + v) * span * 64;
            wx[v] = weights_.data() + ch.first;
            base[v] = ch.base;
            sumB[v] = sumG[v] = sumR[v] = _mm512_setzero_pd();
            weight[v] = _mm256_set1_ps(plan_.area);
        }
        for (int ki = 0; ki < count; ++ki) {
            const double wyValue = plan_.down.w(ki, y);
            const __m512d wy = _mm512_set1_pd(wyValue);
            __m512i planeB[Ways], planeG[Ways], planeR[Ways];
#pragma GCC unroll 4
            for (int v = 0; v < Ways; ++v) {
                planeB[v] = _mm512_loadu_si512(rows[ki]->plane[0].data() + base[v]);
                planeG[v] = _mm512_loadu_si512(rows[ki]->plane[1].data() + base[v]);
                planeR[v] = _mm512_loadu_si512(rows[ki]->plane[2].data() + base[v]);
            }
#pragma GCC unroll 8
            for (int k = 0; k < span; ++k) {
#pragma GCC unroll 4
                for (int v = 0; v < Ways; ++v) {
                    const __m512i at = _mm512_loadu_si512(index[v] + 64 * k);
                    const __m512i b = _mm512_maskz_permutexvar_epi8(lowBytes, at, planeB[v]);
                    const __m512i g = _mm512_maskz_permutexvar_epi8(lowBytes, at, planeG[v]);
                    const __m512i r = _mm512_maskz_permutexvar_epi8(lowBytes, at, planeR[v]);
                    __m512d w, tb, tg, tr;
                    if (wyValue == 1 && wholeColumn_[static_cast<std::size_t>(c + v) * span + k]) {
                        // Every weight exactly 1: w v is v itself.
                        w = _mm512_set1_pd(1.0);
                        tb = _mm512_cvtepi64_pd(b);
                        tg = _mm512_cvtepi64_pd(g);
                        tr = _mm512_cvtepi64_pd(r);
                    } else {
                        w = _mm512_mul_pd(_mm512_loadu_pd(wx[v] + static_cast<std::size_t>(k) * padded), wy);
                        tb = _mm512_mul_pd(w, _mm512_cvtepi64_pd(b));
                        tg = _mm512_mul_pd(w, _mm512_cvtepi64_pd(g));
                        tr = _mm512_mul_pd(w, _mm512_cvtepi64_pd(r));
                    }
                    if constexpr (!Keyed) {
                        sumB[v] = _mm512_add_pd(sumB[v], tb);
                        sumG[v] = _mm512_add_pd(sumG[v], tg);
                        sumR[v] = _mm512_add_pd(sumR[v], tr);
                    } else {
                        const __mmask8 hidden = static_cast<__mmask8>(_mm512_cmpeq_epi64_mask(b, keyB) &
                                                                      _mm512_cmpeq_epi64_mask(g, keyG) &
                                                                      _mm512_cmpeq_epi64_mask(r, keyR));
                        const __mmask8 shown = static_cast<__mmask8>(~hidden);
                        sumB[v] = _mm512_mask_add_pd(sumB[v], shown, sumB[v], tb);
                        sumG[v] = _mm512_mask_add_pd(sumG[v], shown, sumG[v], tg);
                        sumR[v] = _mm512_mask_add_pd(sumR[v], shown, sumR[v], tr);
                        if (hidden) {
                            const __m256 less = _mm512_cvtpd_ps(_mm512_sub_pd(_mm512_cvtps_pd(weight[v]), w));
                            weight[v] = _mm256_mask_blend_ps(hidden, weight[v], less);
                        }
                    }
                }
            }
        }
#pragma GCC unroll 4
        for (int v = 0; v < Ways; ++v) {
            const Chunk& ch = chunk_[c + v];
            finishChunk(sumB[v], sumG[v], sumR[v], weight[v], Keyed, out + 3 * ch.first,
                        std::min(lanes, plan_.width - ch.first));
        }
    }

    // The eight pixels from their sums and weights.
    CLIPORA_AVX512 __attribute__((always_inline)) inline void finishChunk(__m512d sumB, __m512d sumG, __m512d sumR,
                                                                          __m256 weight, bool keyed, std::uint8_t* out,
                                                                          int n) const
    {
        const Bgr key(transparency_.colour);
        const __m512d area = _mm512_set1_pd(plan_.area);
        const __m512d wt = _mm512_cvtps_pd(weight);
        __mmask8 accepted = 0xFF;
        if (keyed) {
            // A = R(coverage x 100) >= 100 - F and >= 1 (F >= 0 here).
            const __m256i a = _mm512_cvt_roundpd_epi32(_mm512_mul_pd(_mm512_div_pd(wt, area), _mm512_set1_pd(100)),
                                                       _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
            const int least = std::max(100 - transparency_.rate, 1);
            accepted = _mm256_cmpge_epi32_mask(a, _mm256_set1_epi32(least));
        }
        // The means R(sum / weight), taken as sum x (1 / weight): that lies
        // within a few units in the last place of the quotient, so it rounds
        // the same unless it is near a half (reductionTieMargin); such lanes
        // are divided.
        const __m512d reciprocal = keyed ? _mm512_maskz_div_pd(accepted, _mm512_set1_pd(1.0), wt)
                                         : _mm512_set1_pd(reciprocalArea_);
        const __m512d sums[3] = {sumB, sumG, sumR};
        __m512d means[3];
        __mmask8 doubtful = 0;
        for (int c = 0; c < 3; ++c) {
            means[c] = _mm512_mul_pd(sums[c], reciprocal);
            // VREDUCEPD: the mean less its nearest integer, exactly.
            const __m512d off =
                _mm512_abs_pd(_mm512_reduce_pd(means[c], _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC));
            doubtful |= _mm512_mask_cmp_pd_mask(accepted, off, _mm512_set1_pd(0.5 - tieMargin_), _CMP_GT_OQ);
        }
        __m256i pixel = _mm256_setzero_si256();
        for (int c = 0; c < 3; ++c) {
            if (doubtful)
                means[c] = _mm512_mask_div_pd(means[c], doubtful, sums[c], wt);
            __m256i v =
                _mm512_maskz_cvt_roundpd_epi32(accepted, means[c], _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
            v = _mm256_min_epi32(_mm256_max_epi32(v, _mm256_setzero_si256()), _mm256_set1_epi32(255));
            pixel = _mm256_or_si256(pixel, _mm256_slli_epi32(v, 8 * c));
        }
        pixel = _mm256_mask_blend_epi32(accepted, _mm256_set1_epi32(static_cast<int>(key.packed())), pixel);
        // Eight 4-byte lanes to 24 packed bytes.
        const __m256i pack = _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, 16, 17, 18, 20, 21, 22, 24, 25,
                                              26, 28, 29, 30, 0, 0, 0, 0, 0, 0, 0, 0);
        _mm256_mask_storeu_epi8(out, (1u << (3 * n)) - 1, _mm256_permutexvar_epi8(pack, pixel));
    }

    const Bitmap24& source_;
    const ZoomdownPlan& plan_;
    const Transparency& transparency_;
    int span_, chunks_, pieces_ = 0;
    double reciprocalArea_;
    double tieMargin_ = reductionTieMargin;
    std::vector<double> weights_;  // weights_[k * padded + x], zero beyond each footprint and the row
    std::vector<Chunk> chunk_;
    std::vector<char> wholeColumn_;    // per chunk and term: every weight across is 1
    std::vector<std::uint8_t> index_;  // per chunk and term: the window byte of each lane, in qword lanes
    std::vector<PlanarRow> rows_;      // a ring: source row r in slot r % size
    using ChunkKernel = void (Reducer::*)(int, int, const PlanarRow* const*, int, std::uint8_t*) const;
    ChunkKernel single_ = nullptr, pair_ = nullptr;

    template <bool Keyed, int Ways>
    static ChunkKernel kernelFor(int span)
    {
        switch (span) {
        case 1: return &Reducer::reduceChunks<Keyed, 1, Ways>;
        case 2: return &Reducer::reduceChunks<Keyed, 2, Ways>;
        case 3: return &Reducer::reduceChunks<Keyed, 3, Ways>;
        case 4: return &Reducer::reduceChunks<Keyed, 4, Ways>;
        case 5: return &Reducer::reduceChunks<Keyed, 5, Ways>;
        case 6: return &Reducer::reduceChunks<Keyed, 6, Ways>;
        default: return &Reducer::reduceChunks<Keyed, 0, Ways>;
        }
    }
};

}  // namespace

void zoomdownAvx512(const Bitmap24& source, Bitmap24& target, const Transparency& transparency,
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

void zoomdownAvx512(const Bitmap24& source, Bitmap24& target, const Transparency& transparency,
                    const Progress& progress, const ZoomdownPlan& plan)
{
    zoomdownPortable(source, target, transparency, progress, plan);
}

#endif

}  // namespace clipora::zoom::detail
