// clipora-cli: reads and writes pictures with Clipora's own readers and
// writers, for scripts and for checking results from outside the window.

#include <QGuiApplication>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <limits>
#include <string>
#include <vector>

#include "cliargs.h"
#include "imaging/cut.h"
#include "imaging/errors.h"
#include "zoom/calc/zoomcalc.h"

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
    const Bitmap24 picture = readFlattened(p[0]);
    if (xl < 0 || yu < 0 || xr > picture.width() || yb > picture.height())
        throw UsageError{"the cut area reaches outside the " + std::to_string(picture.width()) + " by " +
                         std::to_string(picture.height()) + " picture"};
    const CutArea area{static_cast<int>(xl), static_cast<int>(yu), static_cast<int>(xr), static_cast<int>(yb)};
    writeByExtension(p[1], cutArea(picture, area), qualityOf(args));
    return 0;
}

int intArgument(const std::string& text, const std::string& what)
{
    const long long v = parseInteger(text, what);
    if (v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max())
        throw UsageError{what + " is out of range: " + text};
    return static_cast<int>(v);
}

// --transparent RRGGBB and --rate F as the dialog's "透明色" box, swatch and
// field. Without --transparent the transparent colour is the picture's
// top-left pixel, as the dialog presets it; it then colours only the pixels a
// negative rate refuses.
zoom::Transparency transparencyOf(const Args& args, const Bitmap24& picture)
{
    zoom::Transparency t;
    const auto colour = args.option("transparent");
    t.on = colour.has_value();
    if (t.on) {
        t.colour = parseColour(*colour, "--transparent");
    } else {
        t.colour = ColourValue(Rgb::ofPixel(picture.pixel(0, 0)));
    }
    const auto rate = args.option("rate");
    t.rate = rate ? intArgument(*rate, "--rate") : 50;
    return t;
}

int runResize(const std::vector<std::string>& words)
{
    const Args args(words, {"transparent", "rate", "quality"});
    const auto& p = args.positional();
    if (p.size() != 4)
        throw UsageError{"resize takes IN OUT NEWX NEWY"};
    const int newx = intArgument(p[2], "NEWX"), newy = intArgument(p[3], "NEWY");
    if (newx < 1 || newy < 1)
        throw UsageError{"NEWX and NEWY must be at least 1"};
    const Bitmap24 picture = readFlattened(p[0]);
    if (newx == picture.width() && newy == picture.height())
        throw UsageError{"the picture is already " + std::to_string(newx) + " by " + std::to_string(newy) +
                         ": change the size"};
    const zoom::Transparency transparency = transparencyOf(args, picture);
    Bitmap24 result(newx, newy);
    // As the dialog chooses.
    if (zoom::reduces(picture.width(), picture.height(), newx, newy))
        zoom::zoomdown(picture, result, transparency);
    else
        zoom::zoomup(picture, result, transparency);
    writeByExtension(p[1], result, qualityOf(args));
    return 0;
}

int runRotate(const std::vector<std::string>& words)
{
    const Args args(words, {"gap", "transparent", "rate", "quality"}, {"frame-correction"});
    const auto& p = args.positional();
    if (p.size() != 4)
        throw UsageError{"rotate takes IN OUT DEGREE HUNDREDTHS"};
    const int degree = intArgument(p[2], "DEGREE"), hundredths = intArgument(p[3], "HUNDREDTHS");
    // In the dialog, ticking "透明色" copies the transparent colour into the
    // gap colour and ticks and locks "枠補正なし".
    if (args.option("transparent") && (args.option("gap") || args.flag("frame-correction")))
        throw UsageError{"with --transparent the gap colour is the transparent colour and there is no frame "
                         "correction: leave out --gap and --frame-correction"};
    const Bitmap24 picture = readFlattened(p[0]);
    const zoom::Transparency transparency = transparencyOf(args, picture);
    ColourValue gap;  // black
    if (transparency.on)
        gap = transparency.colour;
    else if (const auto g = args.option("gap"))
        gap = parseColour(*g, "--gap");
    const double angle = zoom::rotationangle(degree, hundredths);
    const zoom::Size size = zoom::rotatedsize(picture.width(), picture.height(), angle);
    Bitmap24 result(size.width, size.height);
    zoom::rotate(picture, result, angle, gap, !args.flag("frame-correction"), transparency);
    writeByExtension(p[1], result, qualityOf(args));
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
    {"resize", "resize IN OUT NEWX NEWY [--transparent RRGGBB] [--rate F] [--quality Q]", runResize},
    {"rotate", "rotate IN OUT DEGREE HUNDREDTHS [--gap RRGGBB] [--frame-correction] [--transparent RRGGBB] "
               "[--rate F] [--quality Q]",
     runRotate},
};

void printUsage(std::FILE* to)
{
    std::fprintf(to, "usage: clipora-cli COMMAND ...\n");
    for (const Command& c : commands)
        std::fprintf(to, "  clipora-cli %s\n", c.usage);
    std::fprintf(to, "IN is read by its extension (bmp, ico, wmf, emf, jpg, jpeg, gif, png); OUT is written by its\n"
                     "extension (bmp, jpg, gif, png). JPEG quality defaults to 100.\n"
                     "resize enlarges when no side shrinks and reduces otherwise. rotate turns clockwise by\n"
                     "DEGREE + HUNDREDTHS / 100 degrees into the size that holds the turned picture; the gap\n"
                     "colour defaults to 000000 and the rate F to 50. With --transparent, pixels of that\n"
                     "colour count as absent and refused pixels take it (rotate also uses it as the gap).\n");
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
