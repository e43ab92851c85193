#include "commands.h"

#include <limits>

#include "reader/picturereader.h"
#include "zoom/calc/zoomcalc.h"

namespace clipora::cli {

namespace {

int intArgument(const std::string& text, const std::string& what)
{
    const long long v = parseInteger(text, what);
    if (v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max())
        throw UsageError{what + " is out of range: " + text};
    return static_cast<int>(v);
}

int qualityOf(const Args& args)
{
    const auto q = args.option("quality");
    return q ? static_cast<int>(parseInteger(*q, "quality")) : 100;
}

Operation prepareConvert(const std::vector<std::string>&, const Args& args)
{
    const int quality = qualityOf(args);
    return [quality](const std::string& in, const std::string& out) {
        writeByExtension(out, readFlattened(in), quality);
    };
}

Operation prepareCrop(const std::vector<std::string>& p, const Args& args)
{
    const int quality = qualityOf(args);
    const int xl = intArgument(p[0], "XL"), yu = intArgument(p[1], "YU");
    const int xr = intArgument(p[2], "XR"), yb = intArgument(p[3], "YB");
    if (static_cast<long long>(xr) <= xl || static_cast<long long>(yb) <= yu)
        throw UsageError{"the cut area is empty: XR must exceed XL and YB exceed YU"};
    const CutArea area{xl, yu, xr, yb};
    return [area, quality](const std::string& in, const std::string& out) {
        writeByExtension(out, readArea(in, area), quality);
    };
}

// --transparent RRGGBB and --rate F as the dialog's "透明色" box, swatch and
// field. Without --transparent the transparent colour is the picture's
// top-left pixel, as the dialog presets it; it then colours only the pixels a
// negative rate refuses.
struct TransparencyChoice {
    std::optional<ColourValue> colour;
    int rate = 50;

    zoom::Transparency of(const Bitmap24& picture) const
    {
        zoom::Transparency t;
        t.on = colour.has_value();
        t.colour = colour ? *colour : ColourValue(Rgb::ofPixel(picture.pixel(0, 0)));
        t.rate = rate;
        return t;
    }
};

TransparencyChoice transparencyChoice(const Args& args)
{
    TransparencyChoice choice;
    if (const auto colour = args.option("transparent"))
        choice.colour = parseColour(*colour, "--transparent");
    if (const auto rate = args.option("rate"))
        choice.rate = intArgument(*rate, "--rate");
    return choice;
}

Operation prepareResize(const std::vector<std::string>& p, const Args& args)
{
    const int quality = qualityOf(args);
    const int newx = intArgument(p[0], "NEWX"), newy = intArgument(p[1], "NEWY");
    if (newx < 1 || newy < 1)
        throw UsageError{"NEWX and NEWY must be at least 1"};
    const TransparencyChoice choice = transparencyChoice(args);
    return [=](const std::string& in, const std::string& out) {
        const Bitmap24 picture = readFlattened(in);
        if (newx == picture.width() && newy == picture.height())
            throw UsageError{"the picture is already " + std::to_string(newx) + " by " + std::to_string(newy) +
                             ": change the size"};
        Bitmap24 result(newx, newy);
        // As the dialog chooses.
        if (zoom::reduces(picture.width(), picture.height(), newx, newy))
            zoom::zoomdown(picture, result, choice.of(picture));
        else
            zoom::zoomup(picture, result, choice.of(picture));
        writeByExtension(out, result, quality);
    };
}

Operation prepareRotate(const std::vector<std::string>& p, const Args& args)
{
    const int quality = qualityOf(args);
    const int degree = intArgument(p[0], "DEGREE"), hundredths = intArgument(p[1], "HUNDREDTHS");
    // In the dialog, ticking "透明色" copies the transparent colour into the
    // gap colour and ticks and locks "枠補正なし".
    const bool correction = args.flag("frame-correction");
    if (args.option("transparent") && (args.option("gap") || correction))
        throw UsageError{"with --transparent the gap colour is the transparent colour and there is no frame "
                         "correction: leave out --gap and --frame-correction"};
    const TransparencyChoice choice = transparencyChoice(args);
    ColourValue gap;  // black
    if (choice.colour)
        gap = *choice.colour;
    else if (const auto g = args.option("gap"))
        gap = parseColour(*g, "--gap");
    const double angle = zoom::rotationangle(degree, hundredths);
    return [=](const std::string& in, const std::string& out) {
        const Bitmap24 picture = readFlattened(in);
        const zoom::Size size = zoom::rotatedsize(picture.width(), picture.height(), angle);
        Bitmap24 result(size.width, size.height);
        zoom::rotate(picture, result, angle, gap, !correction, choice.of(picture));
        writeByExtension(out, result, quality);
    };
}

}  // namespace

Bitmap24 readArea(const std::string& path, const CutArea& area)
{
    FlattenedArea cut = readFlattenedArea(path, area);
    if (cut.pixels.empty())
        throw UsageError{"the cut area reaches outside the " + std::to_string(cut.pictureWidth) + " by " +
                         std::to_string(cut.pictureHeight) + " picture"};
    return std::move(cut.pixels);
}

const std::vector<Command>& commands()
{
    static const std::vector<Command> list = {
        {"convert", "writes a picture in another format", "", "[--quality Q]",
         "Reads the picture and writes it again in the output's format.\n", 0, {"quality"}, {}, true,
         prepareConvert},
        {"crop", "cuts a rectangle out of a picture", "XL YU XR YB", "[--quality Q]",
         "Cuts the area from XL, YU (left and top edges, included) to XR, YB (right and\n"
         "bottom edges, excluded) out of the picture; the area must lie inside it.\n",
         4, {"quality"}, {}, false, prepareCrop},
        {"resize", "resizes a picture as the resize dialog does", "NEWX NEWY",
         "[--transparent RRGGBB] [--rate F] [--quality Q]",
         "Makes the picture NEWX by NEWY pixels with the resize dialog's computations: it\n"
         "enlarges when no side shrinks and reduces otherwise. With --transparent, pixels of\n"
         "that colour count as absent and pixels refused by the selection rate F (default\n"
         "50) take that colour.\n",
         2, {"transparent", "rate", "quality"}, {}, false, prepareResize},
        {"rotate", "rotates a picture by any angle as the resize dialog does", "DEGREE HUNDREDTHS",
         "[--gap RRGGBB] [--frame-correction] [--transparent RRGGBB] [--rate F] [--quality Q]",
         "Turns the picture clockwise by DEGREE + HUNDREDTHS / 100 degrees into the size that\n"
         "holds the turned picture, with the gap colour (default 000000) around it and,\n"
         "without --frame-correction, the picture's edge left unblended. --transparent is\n"
         "also the gap colour and cannot go with --gap or --frame-correction; --rate is the\n"
         "selection rate (default 50).\n",
         2, {"gap", "transparent", "rate", "quality"}, {"frame-correction"}, false, prepareRotate},
    };
    return list;
}

const Command* findCommand(const std::string& name)
{
    for (const Command& c : commands())
        if (name == c.name)
            return &c;
    return nullptr;
}

}  // namespace clipora::cli
