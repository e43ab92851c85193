// The rules of the cut area's fields and of a rectangle drawn with the mouse,
// over every small case and the ends of the integer range: whatever is
// typed or drawn, the area stays inside the picture.

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>

#include "load/cutaxis.h"

using namespace clipora;

TEST(CutAxisRules, TypedNumbersKeepTheAreaInsideThePictureAndNonEmpty)
{
    const int typedNumbers[] = {INT_MIN, -2, -1, 0, 1, 2, 3, 5, 7, 8, 9, INT_MAX - 1, INT_MAX};
    // Empty areas too, as the mouse leaves them (at 0 and at the far border).
    for (int pic = 1; pic <= 8; ++pic)
        for (int low = 0; low <= pic; ++low)
            for (int high = low; high <= pic; ++high)
                for (const int typed : typedNumbers) {
                    SCOPED_TRACE(testing::Message() << "picture " << pic << ", area " << low << ".." << high
                                                    << ", typed " << typed);
                    const auto l = applyLowEdge(typed, high);
                    ASSERT_EQ(l.has_value(), typed >= 0);
                    if (l) {
                        EXPECT_TRUE(0 <= l->value && (l->value < high || (high == 0 && l->value == 0)));
                        EXPECT_EQ(l->corrected, l->value != typed);
                    }
                    const auto h = applyHighEdge(typed, low, pic);
                    ASSERT_EQ(h.has_value(), typed > 0);
                    if (h) {
                        EXPECT_TRUE((low < h->value || (low == pic && h->value == pic)) && h->value <= pic);
                        EXPECT_EQ(h->corrected, h->value != typed);
                    }
                    const auto s = applySize(typed, low, pic);
                    ASSERT_EQ(s.has_value(), typed > 0);
                    if (s) {
                        EXPECT_TRUE(s->value >= (low < pic ? 1 : 0) && low + s->value <= pic);
                        EXPECT_EQ(s->value == typed, std::int64_t(low) + typed <= pic);
                        EXPECT_EQ(s->corrected, s->value != typed);
                    }
                }
}

TEST(CutAxisRules, ADrawnOutlineStaysWithinOnePixelOfThePicture)
{
    for (const int origin : {-5, 0, 27})
        for (int pic = 0; pic <= 6; ++pic)
            for (int anchor = -2; anchor <= pic + 2; ++anchor)
                for (int pressed = -3; pressed <= pic + 3; ++pressed)
                    for (int start = origin - 3; start <= origin + pic + 2; ++start)
                        for (int extent = 0; extent <= pic + 4; ++extent) {
                            const OutlineSpan s = finishDrawnSpan({start, extent}, pressed, anchor, origin, pic);
                            ASSERT_TRUE(s.extent >= 2 && s.start >= origin - 1 &&
                                        s.start + s.extent <= origin + pic + 1)
                                << "picture " << pic << " at " << origin << ", drawn " << start << "+" << extent
                                << ", pressed " << pressed << ", anchor " << anchor << ": " << s.start << "+"
                                << s.extent;
                        }
}
