#include "batch.h"

#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <map>
#include <new>
#include <optional>
#include <system_error>
#include <thread>

#include "imaging/errors.h"
#include "imaging/paths.h"
#include "progress.h"

namespace fs = std::filesystem;

namespace clipora::cli {

namespace {

// The path as one spelling: absolute, with "." and ".." and the symbolic
// links of its existing part resolved.
std::string normalised(const std::string& path)
{
    std::error_code error;
    const fs::path absolute = fs::absolute(path, error);
    if (error)
        return path;
    const fs::path canonical = fs::weakly_canonical(absolute, error);
    return (error ? absolute.lexically_normal() : canonical).string();
}

struct FileId {
    dev_t device;
    ino_t inode;
    auto operator<=>(const FileId&) const = default;
};

std::optional<FileId> fileId(const std::string& path)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return std::nullopt;
    return FileId{info.st_dev, info.st_ino};
}

// Refuses, before anything is written, a run that would replace one of its
// inputs or write two inputs to the same output.
void checkOutputs(const std::vector<std::string>& files, const std::vector<std::string>& outputs)
{
    std::map<std::string, std::string> inputPaths;
    std::map<FileId, std::string> inputIds;
    for (const std::string& file : files) {
        inputPaths.emplace(normalised(file), file);
        if (const auto id = fileId(file))
            inputIds.emplace(*id, file);
    }
    std::map<std::string, std::string> written;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::string& out = outputs[i];
        const std::string key = normalised(out);
        auto input = inputPaths.find(key);
        const auto id = fileId(out);
        auto sameFile = id ? inputIds.find(*id) : inputIds.end();
        if (input != inputPaths.end() || sameFile != inputIds.end())
            throw UsageError{"refused: the output " + out + " would replace the input " +
                             (input != inputPaths.end() ? input->second : sameFile->second)};
        const auto [earlier, added] = written.emplace(key, files[i]);
        if (!added)
            throw UsageError{"refused: " + earlier->second + " and " + files[i] + " would both be written to " + out};
    }
}

void makeFolder(const std::string& into)
{
    std::error_code error;
    fs::create_directories(into, error);
    if (error || !fs::is_directory(into))
        throw ImagingError("cannot make the folder " + into + (error ? ": " + error.message() : ""));
}

std::string reasonOf(const Operation& operation, const std::string& in, const std::string& out)
{
    try {
        operation(in, out);
        return {};
    } catch (const ImagingError& e) {
        return e.what();
    } catch (const UsageError& e) {
        return e.text;
    } catch (const std::bad_alloc&) {
        return "out of memory";
    } catch (const std::exception& e) {
        return e.what();
    }
}

}  // namespace

std::string outputPath(const std::string& input, const std::string& into, const std::string& to)
{
    const std::string name = splitPath(input).name;
    const std::size_t dot = extensionDot(name);
    // A leading dot starts a hidden name, not an extension.
    const bool hasDot = dot != std::string::npos && dot > 0;
    const std::string base = hasDot ? name.substr(0, dot) : name;
    std::string extension = hasDot ? name.substr(dot + 1) : std::string();
    if (!to.empty())
        extension = to;
    else if (lowercase(extension) == "jpeg")
        extension = extension == "JPEG" ? "JPG" : "jpg";
    else if (!writableExtension(extension))
        extension = "png";
    const std::string folder = into.empty() || into.back() == '/' ? into : into + "/";
    return folder + base + "." + extension;
}

unsigned availableCores()
{
    cpu_set_t set;
    CPU_ZERO(&set);
    if (::sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0)
        return static_cast<unsigned>(CPU_COUNT(&set));
    return std::max(1u, std::thread::hardware_concurrency());
}

int runBatch(const std::vector<std::string>& files, const BatchSettings& settings, const Operation& operation)
{
    std::vector<std::string> outputs;
    for (const std::string& file : files)
        outputs.push_back(outputPath(file, settings.into, settings.to));
    checkOutputs(files, outputs);
    makeFolder(settings.into);

    BatchReport report(files.size(), stderr, ::isatty(STDERR_FILENO) == 1);
    std::atomic<std::size_t> next{0};
    const auto work = [&] {
        for (std::size_t i; (i = next.fetch_add(1)) < files.size();)
            report.finished(files[i], reasonOf(operation, files[i], outputs[i]));
    };
    const std::size_t workers = std::clamp<std::size_t>(settings.jobs, 1, files.size());
    std::vector<std::jthread> threads;
    // A worker the system cannot start leaves its share to the others.
    for (std::size_t w = 1; w < workers; ++w) {
        try {
            threads.emplace_back(work);
        } catch (const std::system_error&) {
            break;
        }
    }
    work();
    threads.clear();  // joins
    return report.close() == 0 ? 0 : 1;
}

}  // namespace clipora::cli
