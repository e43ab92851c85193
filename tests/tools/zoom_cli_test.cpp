// clipora-cli resize and rotate, run as a program on BMP files.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "imaging/codecs.h"
#include "tests/support/testsupport.h"
#include "reader/picturereader.h"

using namespace clipora;
using namespace clipora::test;

namespace {

int runCli(const std::string& arguments)
{
    const std::string command = std::string("'") + CLIPORA_CLI + "' " + arguments + " >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

Bitmap24 greyRow(std::initializer_list<int> levels)
{
    const std::vector<int> v(levels);
    return makeBitmap(static_cast<int>(v.size()), 1, [&](int x, int) {
        const std::uint32_t g = static_cast<std::uint32_t>(v[static_cast<std::size_t>(x)]);
        return (g << 16) | (g << 8) | g;
    });
}

class ZoomCli : public ::testing::Test {
protected:
    TempDir dir;
    std::string in = dir.file("in.bmp"), out = dir.file("out.bmp");
    void write(const Bitmap24& b) { writeBytes(in, encodeBmp(b)); }
    Bitmap24 result() { return readPictureFile(out).pixels; }
};

}  // namespace

TEST_F(ZoomCli, ResizeEnlargesWhenNoSideShrinks)
{
    write(greyRow({0, 100}));
    ASSERT_EQ(runCli("resize '" + in + "' '" + out + "' 4 1"), 0);
    const Bitmap24 r = result();
    ASSERT_EQ(r.width(), 4);
    EXPECT_EQ(rgbAt(r, 0, 0), 0x000000u);
    EXPECT_EQ(rgbAt(r, 1, 0), 0x191919u);  // 25
    EXPECT_EQ(rgbAt(r, 2, 0), 0x4B4B4Bu);  // 75
    EXPECT_EQ(rgbAt(r, 3, 0), 0x646464u);  // 100
}

TEST_F(ZoomCli, ResizeReducesWhenASideShrinks)
{
    write(greyRow({0, 90, 200}));
    ASSERT_EQ(runCli("resize '" + in + "' '" + out + "' 2 1"), 0);
    const Bitmap24 r = result();
    EXPECT_EQ(rgbAt(r, 0, 0), 0x1E1E1Eu);  // 30
    EXPECT_EQ(rgbAt(r, 1, 0), 0xA3A3A3u);  // 163
}

TEST_F(ZoomCli, ResizeWithTransparencyRefusesHalfCoveredPixelsBelowTheRate)
{
    // Left pixel of the transparent colour: coverage about one half.
    write(makeBitmap(2, 1, [](int x, int) { return x == 0 ? 0xFF00FFu : 0x646464u; }));
    ASSERT_EQ(runCli("resize '" + in + "' '" + out + "' 1 1 --transparent FF00FF --rate 40"), 0);
    EXPECT_EQ(rgbAt(result(), 0, 0), 0xFF00FFu);
    ASSERT_EQ(runCli("resize '" + in + "' '" + out + "' 1 1 --transparent FF00FF"), 0);
    EXPECT_EQ(rgbAt(result(), 0, 0), 0x646464u);
}

TEST_F(ZoomCli, RotateSizesTheTargetToHoldTheTurnedPicture)
{
    write(photoLike(200, 100, 3));
    ASSERT_EQ(runCli("rotate '" + in + "' '" + out + "' 90 0 --gap 00FF00"), 0);
    const Bitmap24 r = result();
    EXPECT_EQ(r.width(), 101);
    EXPECT_EQ(r.height(), 200);
    ASSERT_EQ(runCli("rotate '" + in + "' '" + out + "' -30 50"), 0);
    EXPECT_EQ(rgbAt(result(), 0, 0), 0x000000u);  // the default gap colour
}

TEST_F(ZoomCli, RefusesWhatTheDialogCannotExpress)
{
    write(greyRow({1, 2, 3}));
    EXPECT_EQ(runCli("resize '" + in + "' '" + out + "' 3 1"), 2);  // the same size
    EXPECT_EQ(runCli("resize '" + in + "' '" + out + "' 0 1"), 2);
    EXPECT_EQ(runCli("resize '" + in + "' '" + out + "' 2 1 --rate half"), 2);
    EXPECT_EQ(runCli("rotate '" + in + "' '" + out + "' 10 0 --transparent 000000 --gap FFFFFF"), 2);
    EXPECT_EQ(runCli("rotate '" + in + "' '" + out + "' 10 0 --transparent 000000 --frame-correction"), 2);
    EXPECT_EQ(runCli("rotate '" + in + "' '" + out + "' 10"), 2);
}
