// The per-pixel rules: rounding, zoomcalc, coverage, acceptance, progress.

#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "zoom/calc/zoomcalc.h"

using namespace clipora::zoom;

TEST(RoundHalfEven, RoundsHalvesToTheEvenNeighbour)
{
    struct Case {
        double v;
        int expected;
    };
    for (const Case& c : std::vector<Case>{{2.5, 2},
                                           {3.5, 4},
                                           {-0.5, 0},
                                           {-1.5, -2},
                                           {12.5, 12},
                                           {37.5, 38},
                                           {127.5, 128},
                                           {126.5, 126},
                                           {127.49999999999999, 127},
                                           {0.5000000000000001, 1},
                                           {254.9996, 255},
                                           {-2.6, -3}})
        EXPECT_EQ(roundHalfEven(c.v), c.expected) << "R(" << c.v << ")";
}

TEST(Zoomcalc, ExactHalvesGoToTheEvenNeighbour)
{
    EXPECT_EQ(zoomcalc(0, 255, 0, 255, 0.5, 0, nbAll), 128);  // 127.5
    EXPECT_EQ(zoomcalc(0, 253, 0, 253, 0.5, 0, nbAll), 126);  // 126.5
}

TEST(Zoomcalc, EachPatternOfPresentNeighbours)
{
    // p00 = 10, p10 = 50, p01 = 90, p11 = 200 at fx = 0.25, fy = 0.75.
    const double fx = 0.25, fy = 0.75;
    struct Case {
        const char* name;
        Nbvalid nb;
        double value;
    };
    const std::vector<Case> cases = {
        {"all four", nbAll, 10 + fx * 40 + fy * 80 + fx * fy * (10 + 200 - 50 - 90)},
        {"p11 absent", nbP00 | nbP10 | nbP01, 10 + fx * 40 + fy * 80},
        {"p01 absent", nbP00 | nbP10 | nbP11, 10 + fx * 40 + fy * 150},
        {"p10 absent", nbP00 | nbP01 | nbP11, 10 + fx * 110 + fy * 80},
        {"p00 absent", nbP10 | nbP01 | nbP11, (50 + 90 - 200) + fx * 110 + fy * 150},
        {"top side", nbP00 | nbP10, 10 + fx * 40},
        {"left side", nbP00 | nbP01, 10 + fy * 80},
        {"falling diagonal", nbP00 | nbP11, 10 + (fx + fy) * 190 / 2},
        {"rising diagonal", nbP10 | nbP01, 70 + (fx - fy) * -40 / 2},
        {"right side", nbP10 | nbP11, 50 + fy * 150},
        {"bottom side", nbP01 | nbP11, 90 + fx * 110},
        {"p00 alone", nbP00, 10},
        {"p10 alone", nbP10, 50},
        {"p01 alone", nbP01, 90},
        {"p11 alone", nbP11, 200},
    };
    for (const Case& c : cases)
        EXPECT_EQ(zoomcalc(10, 50, 90, 200, fx, fy, c.nb), roundHalfEven(c.value)) << c.name;
}

TEST(Zoomcalc, PlaneThroughThreeIsClampedIntoAByte)
{
    // 0 + 0.9 * 255 + 0.9 * 255 = 459.
    EXPECT_EQ(zoomcalc(0, 255, 255, 0, 0.9, 0.9, nbP00 | nbP10 | nbP01), 255);
    // 255 - 0.9 * 255 - 0.9 * 255 = -204.
    EXPECT_EQ(zoomcalc(255, 0, 0, 0, 0.9, 0.9, nbP00 | nbP10 | nbP01), 0);
}

TEST(Coverage, IsTheShareOfPresentNeighbours)
{
    EXPECT_DOUBLE_EQ(coverage(nbP00 | nbP10 | nbP01, 0.5, 0.5), 0.75);
    EXPECT_DOUBLE_EQ(coverage(nbP10 | nbP11, 0.5, 0.0), 0.5);
    EXPECT_DOUBLE_EQ(coverage(nbP00, 0.5, 0.5), 0.25);
    EXPECT_EQ(coverage(0, 0.3, 0.7), 0.0);
    EXPECT_EQ(roundHalfEven(coverage(nbAll, 0.3, 0.7) * 100), 100);
}

TEST(Accepted, NeedsAtLeastHundredLessTheRateAndOne)
{
    EXPECT_TRUE(accepted(0.75, 25));
    EXPECT_FALSE(accepted(0.75, 24));
    EXPECT_TRUE(accepted(0.5, 50));
    EXPECT_FALSE(accepted(0.5, 40));
    EXPECT_TRUE(accepted(1.0, 0));
    EXPECT_FALSE(accepted(0.99, 0));
    EXPECT_FALSE(accepted(0.0, 100));  // A >= 1 as well
    EXPECT_FALSE(accepted(0.004, 1000));
    EXPECT_TRUE(accepted(0.006, 100));
    // Rates far outside 0..100 neither overflow nor wrap around.
    EXPECT_FALSE(accepted(1.0, std::numeric_limits<int>::min()));
    EXPECT_TRUE(accepted(0.01, std::numeric_limits<int>::max()));
}
