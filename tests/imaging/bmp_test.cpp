#include <gtest/gtest.h>

#include "imaging/codecs.h"
#include "tests/support/testsupport.h"

using namespace clipora;

namespace {
std::uint32_t le32(const Bytes& b, std::size_t at) { return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | std::uint32_t(b[at + 3]) << 24; }
}  // namespace

TEST(BmpEncoder, WritesAnUncompressed24BitBottomUpBitmap)
{
    const Bitmap24 picture = test::randomBitmap(5, 3, 11);  // 15 bytes a row, padded to 16
    const Bytes file = encodeBmp(picture);
    ASSERT_EQ(file.size(), 14u + 40 + 16 * 3);
    EXPECT_EQ(file[0], 'B');
    EXPECT_EQ(file[1], 'M');
    EXPECT_EQ(le32(file, 2), file.size());
    EXPECT_EQ(le32(file, 10), 54u);
    EXPECT_EQ(le32(file, 14), 40u);
    EXPECT_EQ(le32(file, 18), 5u);
    EXPECT_EQ(le32(file, 22), 3u);
    EXPECT_EQ(file[28], 24);
    EXPECT_EQ(le32(file, 30), 0u);  // no compression
    // The last stored row is the top one.
    for (int x = 0; x < 5; ++x)
        for (int c = 0; c < 3; ++c) {
            EXPECT_EQ(file[54 + 2 * 16 + 3 * x + c], picture.pixel(x, 0)[c]);
            EXPECT_EQ(file[54 + 3 * x + c], picture.pixel(x, 2)[c]);
        }
}
