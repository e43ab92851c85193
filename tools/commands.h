#pragma once
// clipora-cli's commands: each checks its parameters once and gives the
// operation that turns one input file into one output file, shared by the
// single-file and the batch forms.

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "cliargs.h"
#include "imaging/bitmap24.h"
#include "imaging/cut.h"

namespace clipora::cli {

// Reads IN and writes OUT. Throws ImagingError, or UsageError for what only
// the picture can tell (a cut area outside it, a size it already has).
using Operation = std::function<void(const std::string& in, const std::string& out)>;

struct Command {
    const char* name;
    const char* summary;      // one line of the program's help
    const char* parameters;   // "XL YU XR YB": the words after IN OUT, before the files of a batch
    const char* options;      // "[--quality Q]"
    const char* details;      // the rest of the command's help
    std::size_t parameterCount;
    std::vector<std::string> valueOptions;
    std::vector<std::string> flagOptions;
    bool batchNeedsTo;        // the batch form names the output format (convert)
    Operation (*prepare)(const std::vector<std::string>& parameters, const Args& args);
};

const std::vector<Command>& commands();
const Command* findCommand(const std::string& name);

// The crop's reading, in one place: the area of the picture at `path`
// (right and bottom edges exclusive), transparent pixels white. Throws
// UsageError when the area reaches outside the picture.
Bitmap24 readArea(const std::string& path, const CutArea& area);

}  // namespace clipora::cli
