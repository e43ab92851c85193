// clipora-cli's batch forms, run as a program: the same files as the
// single-file form whatever the number of workers, failures that leave the
// others going, refused runs, names, and the progress bar on a terminal.

#include <gtest/gtest.h>

#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bmpfilters/bmpfilters.h"
#include "imaging/codecs.h"
#include "imaging/fileio.h"
#include "tests/support/testsupport.h"

using namespace clipora;
using clipora::test::TempDir;
namespace fs = std::filesystem;

namespace {

struct CliRun {
    int status;
    std::string errors;
};

CliRun cli(const std::string& arguments, const TempDir& dir)
{
    const std::string errFile = dir.file("stderr.txt");
    const std::string command = "timeout 120 '" + std::string(CLIPORA_CLI) + "' " + arguments + " 2>'" + errFile + "'";
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, test::readText(errFile)};
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Good pictures of every written format and one broken file among them.
std::vector<std::string> writeInputs(const TempDir& dir)
{
    fs::create_directories(dir.file("in"));
    const Bitmap24 a = test::photoLike(64, 48, 1), b = test::randomBitmap(50, 41, 2);
    writeFileAtomic(dir.file("in/a.png"), encodePng(a));
    writeFileAtomic(dir.file("in/b.bmp"), encodeBmp(b));
    writeFileAtomic(dir.file("in/c.jpeg"), encodeJpeg(test::photoLike(40, 33, 3), 90));
    writeFileAtomic(dir.file("in/broken.png"), Bytes{0x89, 'P', 'N', 'G', 1, 2, 3});
    writeFileAtomic(dir.file("in/d.gif"), encodeGif(ReduceToStaticPalette(test::photoLike(37, 36, 4))));
    return {"in/a.png", "in/b.bmp", "in/c.jpeg", "in/broken.png", "in/d.gif"};
}

}  // namespace

// Each command's batch over good files and a broken one: the broken file is
// named with its reason, the others give exactly the single-file form's bytes
// under the batch's names, for one worker and for two.
TEST(CliBatch, GivesTheSingleFileBytesAndGoesOnPastAFailure)
{
    TempDir dir;
    const std::vector<std::string> inputs = writeInputs(dir);
    std::string files;
    for (const std::string& in : inputs)
        files += " '" + dir.file(in) + "'";
    struct Case {
        std::string command, batchOnly, parameters, options;
        std::vector<std::string> outputs;  // per input, "" for the broken one
    };
    const std::vector<Case> cases = {
        {"convert", "--to jpg", "", "--quality 70", {"a.jpg", "b.jpg", "c.jpg", "", "d.jpg"}},
        {"crop", "", "3 5 36 33", "", {"a.png", "b.bmp", "c.jpg", "", "d.gif"}},
        {"resize", "", "45 29", "--transparent FFFFFF --rate 30", {"a.png", "b.bmp", "c.jpg", "", "d.gif"}},
        {"rotate", "", "17 25", "--gap 102030 --frame-correction", {"a.png", "b.bmp", "c.jpg", "", "d.gif"}},
    };
    for (const Case& c : cases) {
        for (const char* jobs : {"1", "2"}) {
            SCOPED_TRACE(c.command + " --jobs " + jobs);
            const std::string into = dir.file(c.command + jobs);
            const CliRun run = cli(c.command + " --into '" + into + "' --jobs " + jobs + " " + c.batchOnly + " " + c.parameters + " " +
                                    c.options + files,
                                dir);
            EXPECT_EQ(run.status, 1) << run.errors;
            EXPECT_TRUE(contains(run.errors, dir.file("in/broken.png") + ": ")) << run.errors;
            EXPECT_TRUE(contains(run.errors, "4 of 5 files done, 1 failed")) << run.errors;
            EXPECT_FALSE(contains(run.errors, "\r")) << "a bar without a terminal";
            for (std::size_t i = 0; i < inputs.size(); ++i) {
                if (c.outputs[i].empty())
                    continue;
                const std::string single = dir.file("single-" + c.outputs[i]);
                ASSERT_EQ(cli(c.command + " '" + dir.file(inputs[i]) + "' '" + single + "' " + c.parameters + " " +
                                  c.options,
                              dir)
                              .status,
                          0);
                EXPECT_EQ(readFileBytes(into + "/" + c.outputs[i]), readFileBytes(single)) << c.outputs[i];
            }
            EXPECT_EQ(std::distance(fs::directory_iterator(into), fs::directory_iterator()), 4);
        }
    }
}

// Output names, the folder made with its parents, and a per-file reason
// for what only the picture can tell.
TEST(CliBatch, NamesOutputsAndMakesTheFolder)
{
    TempDir dir;
    fs::create_directories(dir.file("in"));
    writeFileAtomic(dir.file("in/x.JPEG"), encodeJpeg(test::randomBitmap(20, 20, 9), 80));
    writeFileAtomic(dir.file("in/small.png"), encodePng(test::randomBitmap(5, 5, 8)));
    fs::copy_file(std::string(CLIPORA_TEST_DATA) + "/metafiles/office-drawing.wmf", dir.file("in/drawing.wmf"));
    const CliRun run = cli("crop --into '" + dir.file("out/deep") + "/' 1 1 9 9 " + dir.file("in/x.JPEG") + " " +
                            dir.file("in/drawing.wmf") + " " + dir.file("in/small.png"),
                        dir);
    // The small picture does not hold the area: it is named with the reason.
    EXPECT_EQ(run.status, 1) << run.errors;
    EXPECT_TRUE(contains(run.errors, "small.png: the cut area reaches outside the 5 by 5 picture")) << run.errors;
    EXPECT_TRUE(contains(run.errors, "2 of 3 files done, 1 failed")) << run.errors;
    EXPECT_TRUE(fs::exists(dir.file("out/deep/x.JPG")));
    EXPECT_TRUE(fs::exists(dir.file("out/deep/drawing.png")));

    ASSERT_EQ(cli("convert --into '" + dir.file("out2") + "' --to .bmp -- " + dir.file("in/x.JPEG"), dir).status, 0);
    EXPECT_TRUE(fs::exists(dir.file("out2/x.bmp")));
    EXPECT_EQ(cli("convert --into '" + dir.file("out3") + "' " + dir.file("in/x.JPEG"), dir).status, 2)
        << "convert's batch names the format";
    EXPECT_EQ(cli("convert --into '" + dir.file("out3") + "' --to tiff " + dir.file("in/x.JPEG"), dir).status, 2);
    EXPECT_EQ(cli("crop --into '" + dir.file("out3") + "' --jobs 0 1 1 9 9 " + dir.file("in/x.JPEG"), dir).status, 2);
    EXPECT_FALSE(fs::exists(dir.file("out3")));
}

// A run that would replace an input, by the same path, through a link to
// the folder, or two inputs written to one name, writes nothing at all.
TEST(CliBatch, RefusesToReplaceAnInput)
{
    TempDir dir;
    fs::create_directories(dir.file("in"));
    const Bytes a = encodePng(test::randomBitmap(30, 30, 1));
    writeFileAtomic(dir.file("in/a.png"), a);
    writeFileAtomic(dir.file("in/b.png"), a);
    writeFileAtomic(dir.file("in/b.jpg"), encodeJpeg(test::randomBitmap(30, 30, 2), 90));
    fs::create_directory_symlink(dir.file("in"), dir.file("link"));
    const std::string inputs = " " + dir.file("in/b.png") + " " + dir.file("in/a.png");
    for (const std::string& into : {dir.file("in"), dir.file("in/../in/"), dir.file("link")}) {
        const CliRun run = cli("crop --into '" + into + "' 0 0 10 10" + inputs, dir);
        EXPECT_EQ(run.status, 2) << into;
        EXPECT_TRUE(contains(run.errors, "would replace the input " + dir.file("in/b.png"))) << run.errors;
    }
    const CliRun clash = cli("convert --into '" + dir.file("out") + "' --to png " + dir.file("in/b.png") + " " +
                              dir.file("in/b.jpg"),
                          dir);
    EXPECT_EQ(clash.status, 2);
    EXPECT_TRUE(contains(clash.errors, "would both be written to")) << clash.errors;
    const CliRun twice = cli("convert --into '" + dir.file("out") + "' --to png --into '" + dir.file("other") + "' " +
                                 dir.file("in/b.png"),
                             dir);
    EXPECT_EQ(twice.status, 2);
    EXPECT_TRUE(contains(twice.errors, "option --into is given twice")) << twice.errors;
    EXPECT_FALSE(fs::exists(dir.file("other")));
    EXPECT_FALSE(fs::exists(dir.file("out")));
    EXPECT_EQ(readFileBytes(dir.file("in/a.png")), a);
    EXPECT_EQ(readFileBytes(dir.file("in/b.png")), a);
}

// On a terminal a bar shows files done of the total, the rate and the time
// left; the summary line replaces it at the end.
TEST(CliBatch, ShowsAProgressBarOnATerminal)
{
    TempDir dir;
    writeFileAtomic(dir.file("a.png"), encodePng(test::randomBitmap(30, 30, 1)));
    writeFileAtomic(dir.file("b.png"), encodePng(test::randomBitmap(30, 30, 2)));
    int terminal = -1;
    const pid_t child = ::forkpty(&terminal, nullptr, nullptr, nullptr);
    ASSERT_GE(child, 0);
    if (child == 0) {
        const std::string into = dir.file("out"), a = dir.file("a.png"), b = dir.file("b.png");
        ::execl(CLIPORA_CLI, CLIPORA_CLI, "convert", "--into", into.c_str(), "--to", "bmp", a.c_str(), b.c_str(),
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    std::string shown;
    char buffer[256];
    for (ssize_t got; (got = ::read(terminal, buffer, sizeof buffer)) > 0;)
        shown.append(buffer, static_cast<std::size_t>(got));
    int status = 0;
    ::waitpid(child, &status, 0);
    ::close(terminal);
    EXPECT_EQ(WEXITSTATUS(status), 0) << shown;
    EXPECT_TRUE(contains(shown, "] 2/2  ")) << shown;
    EXPECT_TRUE(contains(shown, "files/s")) << shown;
    EXPECT_TRUE(contains(shown, "0:00 left")) << shown;
    EXPECT_TRUE(contains(shown, "\r\x1b[Kclipora-cli: 2 of 2 files done, 0 failed")) << shown;
}

TEST(CliBatch, HelpForTheProgramAndEachCommandAndTheVersion)
{
    TempDir dir;
    const std::string out = dir.file("out.txt");
    ASSERT_EQ(cli("--version >'" + out + "'", dir).status, 0);
    EXPECT_EQ(test::readText(out), std::string("clipora-cli ") + CLIPORA_VERSION + "\n");
    ASSERT_EQ(cli("--help >'" + out + "'", dir).status, 0);
    for (const char* command : {"convert --into DIR --to EXT", "crop --into DIR", "resize IN OUT", "rotate --into"})
        EXPECT_TRUE(contains(test::readText(out), command)) << command;
    ASSERT_EQ(cli("rotate --help >'" + out + "'", dir).status, 0);
    EXPECT_TRUE(contains(test::readText(out), "usage: clipora-cli rotate IN OUT DEGREE HUNDREDTHS"));
    EXPECT_TRUE(contains(test::readText(out), "--frame-correction"));
    EXPECT_FALSE(contains(test::readText(out), "NEWX"));
}
