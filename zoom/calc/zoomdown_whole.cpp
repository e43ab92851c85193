// Reduction by whole-number ratios in integers.
//
// When the source is kx times the target's width and ky times its height,
// every footprint covers a kx x ky block of source pixels, and the plain
// double-precision mean can be had from the integer sum of the block. Why
// the bytes come out the same:
//
// The plan (checked by wholeRatioOf, not assumed) gives each target column x
// the source columns x kx .. x kx + kx - 1, each of weight exactly 1 but the
// last, whose weight is 1 - e with 5e-7 < e < 2e-6 (the far edge is
// shortened by a millionth; x kx is exact, and rounding (x + 1) kx - 1e-6
// moves it by at most 2^-22 for sides below 2^31). Likewise down the rows.
// The area is float(kx ky) = n exactly (n <= 256 here).
//
// Let S be the integer sum of one channel over the block, and D the real
// deficit sum (1 - wx wy) p over the terms of the last row and column of
// the block ("edge terms"); the true mean is T = (S - D) / n. Each edge
// term's deficit is at most 4.1e-6 x 255, and there are kx + ky - 1 <= 256
// of them, so 0 <= D <= 0.27; D = 0 exactly when every edge value is 0, else
// D >= 5e-7 (a single value of 1 at weight 1 - e).
//
// The plain code forms each term with two roundings, adds n terms and
// divides by n: its mean M lies within (n + 3) 2^-53 x 255 < 7.3e-12 of T.
//
// - S / n not a half: it lies at least 1 / (2n) from every half, and
//   M lies within D / n + 7.3e-12 < 1 / (2n) below it, so no half lies
//   between them and R(M) is S / n rounded to the nearest integer.
// - S / n = h + 1/2 with an edge value above 0: M <= h + 1/2 - 5e-7 / 256
//   + 7.3e-12 < h + 1/2, and M > h, so R(M) = h.
// - S / n = h + 1/2 with every edge value 0: every edge term is exactly 0,
//   every other term is an integer, so the sum is exactly S and M = S / n =
//   h + 1/2 exactly; R gives the even one of h and h + 1.
//
// With the transparent colour T on (and a rate of at least 0, as the caller
// sees to): a block without T leaves the weight at area = n and the sums as
// above, so its coverage is exactly 1, it is accepted, and its mean is the
// one just proved. A block wholly of T adds nothing to the sums; its weight
// Wt = n less every term's wx wy, each step rounded to single precision.
// The true remainder is the edge terms' deficits, at most (kx + ky - 1)
// 4e-6 <= 4e-6 n; every value on the way lies below 256, where a single-
// precision step errs by at most 2^-17, so |Wt| <= n (4e-6 + 2^-17) <
// 1.2e-5 n. Then |coverage x 100| < 1.2e-3 rounds to 0, below the rule's
// minimum of 1: the pixel is refused and takes T, whatever the rate. Blocks
// holding some T are reduced pixel by pixel, exactly. Which blocks hold T
// is found from one bit per source pixel, OR-ed and AND-ed down the block
// row's source rows.
//
// The sums: each target row adds its ky source rows byte for byte into
// 16-bit column sums (ky <= 256 keeps them below 2^16), then each target
// pixel adds kx of those; only a tie looks at the edge values. With AVX2 and
// n a power of two the rounding is a shift and a mask, done for every
// column position 16 at a time (kx times more positions than needed, but
// no scalar work per value), and the block starts are picked out after.

#include <bit>
#include <cstring>
#include <optional>

#include "zoom/calc/kernels.h"

namespace clipora::zoom::detail {

namespace {

// The plan's footprints along one axis are whole blocks of k with the
// weights above; 0 when they are not.
int wholeBlocksOf(const FootprintAxis& axis, int srcSize)
{
    if (srcSize % axis.size != 0)
        return 0;
    const int k = srcSize / axis.size;
    if (axis.span != k)
        return 0;
    for (int x = 0; x < axis.size; ++x) {
        if (axis.first[x] != x * k || axis.count[x] != k)
            return 0;
        for (int j = 0; j + 1 < k; ++j)
            if (axis.w(j, x) != 1.0)
                return 0;
        const double last = axis.w(k - 1, x);
        if (!(last > 1 - 2e-6 && last < 1 - 5e-7))
            return 0;
    }
    return k;
}

}  // namespace

WholeRatio wholeRatioOf(const ZoomdownPlan& plan)
{
    const int kx = wholeBlocksOf(plan.across, plan.srcWidth);
    const int ky = wholeBlocksOf(plan.down, plan.srcHeight);
    if (kx == 0 || ky == 0 || kx * ky > 256 || plan.area != static_cast<float>(kx * ky))
        return {};
    return {kx, ky};
}

void addRowPortable(std::uint16_t* sums, const std::uint8_t* row, std::size_t bytes)
{
    for (std::size_t i = 0; i < bytes; ++i)
        sums[i] = static_cast<std::uint16_t>(sums[i] + row[i]);
}

void markKeyPortable(std::uint64_t* marks, const std::uint8_t* row, int width, Bgr key)
{
    std::fill(marks, marks + (width + 63) / 64, std::uint64_t{0});
    for (int j = 0; j < width; ++j, row += 3)
        if (key.matches(row))
            marks[j / 64] |= std::uint64_t{1} << (j % 64);
}

namespace {

// One target row from the column sums of its source rows. KX is kx when
// known at compile time (0: use `kx`); Shift is log2 n when n is a power of
// two (-1: divide through `m`).
template <int KX, int Shift>
void finishRow(const std::uint16_t* sums, const std::uint8_t* lastRow, std::uint8_t* out, int width, int runtimeKx,
               unsigned n, std::uint64_t m)
{
    const int kx = KX ? KX : runtimeKx;
    for (int x = 0; x < width; ++x, sums += 3 * kx, lastRow += 3 * kx, out += 3) {
        for (int c = 0; c < 3; ++c) {
            unsigned s = 0;
            for (int j = 0; j < kx; ++j)
                s += sums[3 * j + c];
            const unsigned q = Shift >= 0 ? s >> Shift : static_cast<unsigned>((s * m) >> 32);
            const unsigned twice = 2 * (s - q * n);
            unsigned v = q + (twice > n);
            if (twice == n) [[unlikely]] {
                // A tie: the shortened edges put the mean just below it
                // unless every edge value is 0.
                bool edge = sums[3 * (kx - 1) + c] != 0;
                for (int j = 0; j < kx && !edge; ++j)
                    edge = lastRow[3 * j + c] != 0;
                v = q + (!edge && (q & 1));
            }
            out[c] = static_cast<std::uint8_t>(v);
        }
    }
}

using RowFinisher = void (*)(const std::uint16_t*, const std::uint8_t*, std::uint8_t*, int, int, unsigned,
                             std::uint64_t);

template <int KX>
RowFinisher finisherFor(unsigned n)
{
    switch (n) {
    case 2: return finishRow<KX, 1>;
    case 4: return finishRow<KX, 2>;
    case 16: return finishRow<KX, 4>;
    case 64: return finishRow<KX, 6>;
    default: return finishRow<KX, -1>;
    }
}

// Bits start .. start + count - 1 of a bit row (count <= 64), in the low
// bits.
std::uint64_t bitsAt(const std::uint64_t* words, std::size_t start, int count)
{
    const std::size_t word = start / 64;
    const unsigned shift = start % 64;
    std::uint64_t v = words[word] >> shift;
    if (shift + count > 64)
        v |= words[word + 1] << (64 - shift);
    return count == 64 ? v : v & ((std::uint64_t{1} << count) - 1);
}

// Which pixels of one block row have the transparent colour: `any` in some
// source row of it, `all` in every one.
class KeyBlocks {
public:
    KeyBlocks(int srcWidth, bool vector)
        : words_((static_cast<std::size_t>(srcWidth) + 63) / 64 + 1), marks_(words_), any_(words_), all_(words_),
          width_(srcWidth), mark_(vector ? markKeyAvx2 : markKeyPortable)
    {
    }

    void scan(const Bitmap24& source, int firstRow, int rows, Bgr key)
    {
        std::fill(any_.begin(), any_.end(), std::uint64_t{0});
        std::fill(all_.begin(), all_.end(), ~std::uint64_t{0});
        for (int k = 0; k < rows; ++k) {
            mark_(marks_.data(), source.row(firstRow + k), width_, key);
            for (std::size_t i = 0; i + 1 < words_; ++i) {
                any_[i] |= marks_[i];
                all_[i] &= marks_[i];
            }
        }
    }

    // Settles the target row's blocks that hold the transparent colour;
    // the others keep the means already written.
    void settle(std::uint8_t* out, const Bitmap24& source, const ZoomdownPlan& plan, int y, int kx,
                const Transparency& transparency, Bgr key) const
    {
        const std::uint64_t whole = kx == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << kx) - 1;
        for (int x = 0; x < plan.width;) {
            const std::size_t start = static_cast<std::size_t>(x) * kx;
            if (any_[start / 64] == 0 && (start + kx - 1) / 64 == start / 64) {
                x = static_cast<int>((start / 64 + 1) * 64 / kx);  // the first block reaching the next word
                continue;
            }
            if (bitsAt(any_.data(), start, kx) != 0) {
                if (bitsAt(all_.data(), start, kx) == whole)
                    key.store(out + 3 * x);
                else
                    reducePixel(out + 3 * x, source, plan, x, y, transparency);
            }
            ++x;
        }
    }

private:
    std::size_t words_;
    std::vector<std::uint64_t> marks_, any_, all_;
    int width_;
    KeyMarker mark_;
};

}  // namespace

void zoomdownWhole(const Bitmap24& source, Bitmap24& target, const Transparency& transparency,
                   const Progress& progress, const ZoomdownPlan& plan, WholeRatio ratio, bool vector)
{
    const int kx = ratio.kx, ky = ratio.ky;
    const unsigned n = static_cast<unsigned>(kx * ky);
    // floor(S / n) = (S m) >> 32 with m = ceil(2^32 / n), as S n < 2^32.
    const std::uint64_t m = ((std::uint64_t{1} << 32) + n - 1) / n;
    const RowFinisher finish = kx == 2 ? finisherFor<2>(n) : kx == 4 ? finisherFor<4>(n) : kx == 8 ? finisherFor<8>(n)
                                                                                                 : finisherFor<0>(n);
    const int shift = std::countr_zero(n);
    const bool vectorFinish = vector && n >= 2 && (n & (n - 1)) == 0;
    const RowAdder addRow = vector ? addRowAvx2 : addRowPortable;
    const std::size_t bytes = 3 * static_cast<std::size_t>(plan.srcWidth);
    const std::size_t used = 3 * static_cast<std::size_t>(kx) * plan.width;  // every position of every block
    const std::size_t positions = (used + 15) / 16 * 16, padded = positions + 3 * kx + 32;
    std::vector<std::uint16_t> sums(padded);
    std::vector<std::uint8_t> lastRow(vectorFinish ? padded : 0), rounded(vectorFinish ? padded : 0);
    const Bgr key(transparency.colour);
    std::optional<KeyBlocks> keyed;
    if (transparency.on)
        keyed.emplace(plan.srcWidth, vector);
    for (int y = 0; y < plan.height; ++y) {
        std::fill(sums.begin(), sums.begin() + static_cast<std::ptrdiff_t>(bytes), std::uint16_t{0});
        for (int k = 0; k < ky; ++k)
            addRow(sums.data(), source.row(y * ky + k), bytes);
        const std::uint8_t* last = source.row(y * ky + ky - 1);
        std::uint8_t* out = target.row(y);
        if (vectorFinish) {
            std::copy(last, last + bytes, lastRow.begin());
            finishWholeRowAvx2(sums.data(), lastRow.data(), rounded.data(), positions, kx, shift);
            const std::uint8_t* at = rounded.data();
            for (int x = 0; x < plan.width; ++x, at += 3 * kx)
                std::memcpy(out + 3 * x, at, 3);
        } else {
            finish(sums.data(), last, out, plan.width, kx, n, m);
        }
        if (keyed) {
            keyed->scan(source, y * ky, ky, key);
            keyed->settle(out, source, plan, y, kx, transparency, key);
        }
        if (progress)
            progress(progressAfterRow(y, plan.height));
    }
}

}  // namespace clipora::zoom::detail
