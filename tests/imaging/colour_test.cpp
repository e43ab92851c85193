// The colour layouts: each conversion puts red, green and blue where its
// layout says, and every road between them gives the colour back.

#include <gtest/gtest.h>

#include <cstdint>

#include "imaging/colour.h"

using namespace clipora;

TEST(Colour, EachLayoutHoldsRedGreenBlueWhereItSays)
{
    const Rgb c{0x12, 0x34, 0x56};
    EXPECT_EQ(c.hex(), 0x123456u);
    EXPECT_EQ(ColourValue(c).value(), 0x563412u);
    std::uint8_t pixel[3] = {};
    c.storeInPixel(pixel);
    EXPECT_EQ(pixel[0], 0x56);  // blue first
    EXPECT_EQ(pixel[1], 0x34);
    EXPECT_EQ(pixel[2], 0x12);
}

TEST(Colour, EveryConversionRoundTrips)
{
    for (std::uint32_t hex = 0; hex <= 0xFFFFFF; hex += 0x010203) {
        const Rgb c = Rgb::fromHex(hex);
        EXPECT_EQ(c.hex(), hex);
        EXPECT_EQ(ColourValue(c).rgb(), c);
        std::uint8_t pixel[3];
        c.storeInPixel(pixel);
        EXPECT_EQ(Rgb::ofPixel(pixel), c);
    }
}
