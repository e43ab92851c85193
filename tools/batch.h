#pragma once
// The batch form of clipora-cli's commands: one operation over many files,
// several at once, each written into one folder under its own base name.

#include <string>
#include <vector>

#include "commands.h"

namespace clipora::cli {

struct BatchSettings {
    std::string into;  // the output folder, made when missing
    std::string to;    // the output extension without its dot; empty: the input's own
    unsigned jobs = 1;
};

// The output of `input` in `into`: its base name with the extension `to`,
// else its own when the program writes that format (".jpeg" becoming
// ".jpg"), else ".png".
std::string outputPath(const std::string& input, const std::string& into, const std::string& to);

// The processors this process may run on (at least 1).
unsigned availableCores();

// Checks the outputs (none may be an input, no two the same file), makes the
// folder, runs `operation` on every file with `settings.jobs` workers and
// reports: each failure with its reason, a progress bar while standard error
// is a terminal, one summary line. Returns the exit status: 0 when every file
// succeeded. Throws UsageError, before writing anything, for a refused run.
int runBatch(const std::vector<std::string>& files, const BatchSettings& settings, const Operation& operation);

}  // namespace clipora::cli
