#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <sys/wait.h>

#include "imaging/codecs.h"
#include "imaging/fileio.h"
#include "tests/support/formatfiles.h"
#include "tests/support/testsupport.h"
#include "reader/picturereader.h"

using namespace clipora;
using clipora::test::TempDir;

namespace {

struct CliRun {
    int status;
    std::string errors;
};

// Runs clipora-cli with the arguments; collects its exit status and stderr.
// A run that hangs is ended after a minute (status 124).
CliRun cli(const std::string& arguments, const TempDir& dir)
{
    const std::string errFile = dir.file("stderr.txt");
    const std::string command = "timeout 60 " + std::string(CLIPORA_CLI) + " " + arguments + " 2>'" + errFile + "'";
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, test::readText(errFile)};
}

}  // namespace

TEST(CliConvert, WritesEachFormatByExtension)
{
    TempDir dir;
    const Bitmap24 picture = test::randomBitmap(30, 20, 5);
    writeFileAtomic(dir.file("in.png"), encodePng(picture));
    // Outside a desktop session too, a run that succeeds says nothing.
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::string keptRuntime = runtime ? runtime : "";
    ::unsetenv("XDG_RUNTIME_DIR");
    const CliRun quiet = cli("convert " + dir.file("in.png") + " " + dir.file("out.gif"), dir);
    if (runtime)
        ::setenv("XDG_RUNTIME_DIR", keptRuntime.c_str(), 1);
    EXPECT_EQ(quiet.status, 0);
    EXPECT_EQ(quiet.errors, "");
    for (const char* out : {"out.bmp", "out.png"}) {
        ASSERT_EQ(cli("convert " + dir.file("in.png") + " " + dir.file(out), dir).status, 0) << out;
        EXPECT_TRUE(test::samePixels(picture, readPictureFile(dir.file(out)).pixels)) << out;
    }
    ASSERT_EQ(cli("convert " + dir.file("in.png") + " " + dir.file("out.jpg") + " --quality 50", dir).status, 0);
    EXPECT_EQ(readFileBytes(dir.file("out.jpg")), encodeJpeg(picture, 50));
}

TEST(CliConvert, ReadsWebpAvifHeifAndTiff)
{
    TempDir dir;
    const Bitmap24 picture = test::photoLike(13, 8, 4);
    for (const char* extension : {"webp", "avif", "heic", "tif"}) {
        const Bytes file = test::writtenByTool(extension, dir.path().string(), picture);
        if (file.empty())  // heif-enc without its HEVC encoder
            continue;
        const std::string in = dir.file(std::string("in.") + extension);
        writeFileAtomic(in, file);
        ASSERT_EQ(cli("convert " + in + " " + dir.file("out.bmp"), dir).status, 0) << extension;
        EXPECT_TRUE(test::samePixels(readPictureFile(in).pixels, readPictureFile(dir.file("out.bmp")).pixels))
            << extension;
    }
}

TEST(CliConvert, WritesGifOverTheFixedPalette)
{
    TempDir dir;
    writeFileAtomic(dir.file("in.png"), encodePng(test::photoLike(33, 21, 2)));
    ASSERT_EQ(cli("convert " + dir.file("in.png") + " " + dir.file("out.gif"), dir).status, 0);
    const Bytes gif = readFileBytes(dir.file("out.gif"));
    ASSERT_GT(gif.size(), 6u);
    EXPECT_EQ(std::string(gif.begin(), gif.begin() + 6), "GIF87a");
    // Every pixel is one of the palette's colours: levels of 51 in red and
    // blue, green from its seven values.
    const Picture p = readPictureFile(dir.file("out.gif"));
    for (int y = 0; y < p.height(); ++y)
        for (int x = 0; x < p.width(); ++x) {
            const std::uint32_t c = test::rgbAt(p.pixels, x, y);
            ASSERT_EQ((c >> 16) % 51, 0u);
            ASSERT_EQ((c & 0xFF) % 51, 0u);
            const std::uint32_t g = (c >> 8) & 0xFF;
            ASSERT_TRUE(g == 0 || g == 43 || g == 85 || g == 128 || g == 171 || g == 214 || g == 255) << g;
        }
}

TEST(CliCrop, CutsTheAreaWithRightAndBottomExclusive)
{
    TempDir dir;
    const Bitmap24 picture = test::randomBitmap(120, 80, 6);
    writeFileAtomic(dir.file("in.bmp"), encodeBmp(picture));
    ASSERT_EQ(cli("crop " + dir.file("in.bmp") + " " + dir.file("cut.png") + " 10 20 110 70", dir).status, 0);
    const Picture cut = readPictureFile(dir.file("cut.png"));
    ASSERT_EQ(cut.width(), 100);
    ASSERT_EQ(cut.height(), 50);
    for (int y = 0; y < 50; y += 7)
        for (int x = 0; x < 100; x += 9)
            ASSERT_EQ(test::rgbAt(cut.pixels, x, y), test::rgbAt(picture, x + 10, y + 20));
}

TEST(CliErrors, GoToStandardErrorWithNonZeroStatus)
{
    TempDir dir;
    const CliRun missing = cli("convert " + dir.file("none.png") + " " + dir.file("o.bmp"), dir);
    EXPECT_NE(missing.status, 0);
    EXPECT_NE(missing.errors.find("は開けません"), std::string::npos) << missing.errors;

    // A named pipe is refused at once, never waited on.
    ASSERT_EQ(::mkfifo(dir.file("x.png").c_str(), 0600), 0);
    const CliRun pipe = cli("convert " + dir.file("x.png") + " " + dir.file("o.bmp"), dir);
    EXPECT_EQ(pipe.status, 1) << pipe.errors;
    EXPECT_NE(pipe.errors.find("ファイル " + dir.file("x.png") + " は開けません"), std::string::npos) << pipe.errors;

    writeFileAtomic(dir.file("in.bmp"), encodeBmp(test::randomBitmap(10, 10, 1)));
    EXPECT_NE(cli("crop " + dir.file("in.bmp") + " " + dir.file("o.bmp") + " 5 5 5 9", dir).status, 0);
    EXPECT_NE(cli("crop " + dir.file("in.bmp") + " " + dir.file("o.bmp") + " 0 0 11 5", dir).status, 0);
    EXPECT_NE(cli("convert " + dir.file("in.bmp") + " " + dir.file("o.tiff"), dir).status, 0);
    EXPECT_NE(cli("frobnicate", dir).status, 0);
    EXPECT_FALSE(std::filesystem::exists(dir.file("o.bmp")));
}
