#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "bmpfilters/reducekernel.h"

using namespace clipora;

// The shares of the row above must arrive one by one, clamped after each:
// 255 raised by one and then lowered by two is 253, not 254. Intermediate
// values rarely change a final index, so this is checked on the row pass
// itself, for lengths that cover whole vectors and the bytes after them.
TEST(SpreadBelow, SharesArriveInOrderClampedAfterEach)
{
    std::mt19937 random(11);
    auto nearAnEnd = [&] { return static_cast<std::uint8_t>((random() & 1) ? random() % 4 : 255 - random() % 4); };
    for (std::size_t bytes = 0; bytes <= 70; ++bytes) {
        std::vector<std::uint8_t> source(bytes);
        std::vector<std::int8_t> errorRow(bytes + 6, 0);
        for (auto& v : source)
            v = nearAnEnd();
        for (std::size_t i = 3; i < bytes + 3; ++i)
            errorRow[i] = static_cast<std::int8_t>(static_cast<int>(random() % 52) - 26);
        const std::int8_t* errors = errorRow.data() + 3;

        std::vector<std::uint8_t> below(bytes);
        detail::spreadBelow(source.data(), errors, below.data(), bytes);

        for (std::size_t i = 0; i < bytes; ++i) {
            auto clamp = [](int v) { return v < 0 ? 0 : v > 255 ? 255 : v; };
            int v = source[i];
            v = clamp(v - errors[i - 3] * 1 / 16);
            v = clamp(v - errors[i] * 5 / 16);
            v = clamp(v - errors[i + 3] * 3 / 16);
            ASSERT_EQ(below[i], v) << "byte " << i << " of " << bytes;
        }
    }
}
