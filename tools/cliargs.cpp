#include "cliargs.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>

#include "bmpfilters/bmpfilters.h"
#include "imaging/errors.h"
#include "imaging/fileio.h"
#include "reader/picturereader.h"

namespace clipora::cli {

Args::Args(std::vector<std::string> words, const std::vector<std::string>& valueOptions,
           const std::vector<std::string>& flagOptions)
{
    auto has = [](const std::vector<std::string>& list, const std::string& w) {
        return std::find(list.begin(), list.end(), w) != list.end();
    };
    bool optionsEnded = false;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& w = words[i];
        if (!optionsEnded && w == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && w.size() > 2 && w.rfind("--", 0) == 0 && !(std::isdigit(static_cast<unsigned char>(w[2])))) {
            const std::string name = w.substr(2);
            if (has(flagOptions, name)) {
                flags_.push_back(name);
            } else if (has(valueOptions, name)) {
                if (i + 1 >= words.size())
                    throw UsageError{"option " + w + " needs a value"};
                // Which of two values was meant cannot be told.
                if (option(name))
                    throw UsageError{"option " + w + " is given twice"};
                options_.emplace_back(name, words[++i]);
            } else {
                throw UsageError{"unknown option " + w};
            }
        } else {
            positional_.push_back(w);
        }
    }
}

std::optional<std::string> Args::option(const std::string& name) const
{
    for (const auto& [n, v] : options_)
        if (n == name)
            return v;
    return std::nullopt;
}

bool Args::flag(const std::string& name) const
{
    return std::find(flags_.begin(), flags_.end(), name) != flags_.end();
}

long long parseInteger(const std::string& text, const std::string& what)
{
    errno = 0;
    char* end = nullptr;
    const long long v = std::strtoll(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno == ERANGE)
        throw UsageError{what + " must be an integer, not '" + text + "'"};
    return v;
}

double parseReal(const std::string& text, const std::string& what)
{
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0')
        throw UsageError{what + " must be a number, not '" + text + "'"};
    return v;
}

ColourValue parseColour(const std::string& text, const std::string& what)
{
    if (text.size() != 6 || !std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isxdigit(c); }))
        throw UsageError{what + " must be RRGGBB in hexadecimal, not '" + text + "'"};
    return ColourValue(Rgb::fromHex(static_cast<std::uint32_t>(std::strtoul(text.c_str(), nullptr, 16))));
}

Bitmap24 readFlattened(const std::string& path)
{
    return flattenPicture(readPictureFile(path));
}

std::string lowercase(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool writableExtension(const std::string& extension)
{
    const std::string ext = lowercase(extension);
    return ext == "bmp" || ext == "jpg" || ext == "jpeg" || ext == "gif" || ext == "png";
}

void writeByExtension(const std::string& path, const Bitmap24& bitmap, int quality)
{
    const std::string ext = lowercase(fileExtension(path));
    Bytes file;
    if (ext == "bmp")
        file = encodeBmp(bitmap);
    else if (ext == "jpg" || ext == "jpeg")
        file = encodeJpeg(bitmap, quality);
    else if (ext == "png")
        file = encodePng(bitmap);
    else if (ext == "gif")
        file = encodeGif(ReduceToStaticPalette(bitmap));
    else
        throw UsageError{"cannot write '." + ext + "' files: use bmp, jpg, gif or png"};
    writeFileAtomic(path, file);
}

}  // namespace clipora::cli
