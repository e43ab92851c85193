#pragma once
// Small helpers shared by clipora-cli's subcommands.

#include <optional>
#include <string>
#include <vector>

#include "imaging/bitmap24.h"
#include "imaging/codecs.h"
#include "imaging/colour.h"

namespace clipora::cli {

struct UsageError {
    std::string text;
};

// Arguments after the subcommand: positional ones and --name value options.
// A bare "--" ends the options: every word after it is positional.
class Args {
public:
    Args(std::vector<std::string> words, const std::vector<std::string>& valueOptions,
         const std::vector<std::string>& flagOptions = {});
    const std::vector<std::string>& positional() const { return positional_; }
    std::optional<std::string> option(const std::string& name) const;
    bool flag(const std::string& name) const;

private:
    std::vector<std::string> positional_;
    std::vector<std::pair<std::string, std::string>> options_;
    std::vector<std::string> flags_;
};

// A whole decimal integer, or UsageError naming `what`.
long long parseInteger(const std::string& text, const std::string& what);
double parseReal(const std::string& text, const std::string& what);
// "RRGGBB" in hexadecimal to the dialog's colour value.
ColourValue parseColour(const std::string& text, const std::string& what);

// Reads IN by its extension; transparent pixels become white.
Bitmap24 readFlattened(const std::string& path);
std::string lowercase(std::string text);  // ASCII letters only
// Whether the program writes files with this extension (bmp, jpg, jpeg, gif,
// png; letter case ignored).
bool writableExtension(const std::string& extension);
// Writes OUT by its extension (bmp, jpg/jpeg, gif, png) with the program's
// own writers; `quality` is for JPEG.
void writeByExtension(const std::string& path, const Bitmap24& bitmap, int quality);

}  // namespace clipora::cli
