// clipora-cli: reads and writes pictures with Clipora's own readers and
// writers, for scripts and for checking results from outside the window.

#include <QGuiApplication>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "cliargs.h"
#include "imaging/errors.h"

using namespace clipora;
using namespace clipora::cli;

namespace {

int qualityOf(const Args& args)
{
    const auto q = args.option("quality");
    return q ? static_cast<int>(parseInteger(*q, "quality")) : 100;
}

int runConvert(const std::vector<std::string>& words)
{
    const Args args(words, {"quality"});
    if (args.positional().size() != 2)
        throw UsageError{"convert takes IN OUT"};
    writeByExtension(args.positional()[1], readFlattened(args.positional()[0]), qualityOf(args));
    return 0;
}

int runCrop(const std::vector<std::string>& words)
{
    const Args args(words, {"quality"});
    const auto& p = args.positional();
    if (p.size() != 6)
        throw UsageError{"crop takes IN OUT XL YU XR YB"};
    const long long xl = parseInteger(p[2], "XL"), yu = parseInteger(p[3], "YU");
    const long long xr = parseInteger(p[4], "XR"), yb = parseInteger(p[5], "YB");
    if (xr <= xl || yb <= yu)
        throw UsageError{"the cut area is empty: XR must exceed XL and YB exceed YU"};
    Bitmap24 picture = readFlattened(p[0]);
    if (xl < 0 || yu < 0 || xr > picture.width() || yb > picture.height())
        throw UsageError{"the cut area reaches outside the " + std::to_string(picture.width()) + " by " +
                         std::to_string(picture.height()) + " picture"};
    const int w = static_cast<int>(xr - xl), h = static_cast<int>(yb - yu);
    picture.copyRect(static_cast<int>(xl), static_cast<int>(yu), w, h, 0, 0);
    picture.resize(w, h);
    writeByExtension(p[1], picture, qualityOf(args));
    return 0;
}

struct Command {
    const char* name;
    const char* usage;
    int (*run)(const std::vector<std::string>&);
};

const Command commands[] = {
    {"convert", "convert IN OUT [--quality Q]", runConvert},
    {"crop", "crop IN OUT XL YU XR YB [--quality Q]   (XR and YB exclusive)", runCrop},
};

void printUsage(std::FILE* to)
{
    std::fprintf(to, "usage: clipora-cli COMMAND ...\n");
    for (const Command& c : commands)
        std::fprintf(to, "  clipora-cli %s\n", c.usage);
    std::fprintf(to, "IN is read by its extension (bmp, ico, wmf, emf, jpg, jpeg, gif, png); OUT is written by its\n"
                     "extension (bmp, jpg, gif, png). JPEG quality defaults to 100.\n");
}

}  // namespace

int main(int argc, char* argv[])
{
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        printUsage(argc < 2 ? stderr : stdout);
        return argc < 2 ? 2 : 0;
    }
    // Fonts (for the text of metafiles) need a GUI application; no window is shown.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    QGuiApplication application(qtArgc, argv);
    const std::vector<std::string> words(argv + 2, argv + argc);
    for (const Command& c : commands) {
        if (c.name != std::string(argv[1]))
            continue;
        try {
            return c.run(words);
        } catch (const UsageError& e) {
            std::fprintf(stderr, "clipora-cli: %s\nusage: clipora-cli %s\n", e.text.c_str(), c.usage);
            return 2;
        } catch (const ImagingError& e) {
            std::fprintf(stderr, "clipora-cli: %s\n", e.what());
            return 1;
        } catch (const std::bad_alloc&) {
            std::fprintf(stderr, "clipora-cli: out of memory\n");
            return 1;
        }
    }
    std::fprintf(stderr, "clipora-cli: unknown command '%s'\n", argv[1]);
    printUsage(stderr);
    return 2;
}
