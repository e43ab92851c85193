// clipora-cli: reads and writes pictures with Clipora's own readers and
// writers, for scripts and for checking results from outside the window;
// one file at a time or many at once into a folder.

#include <QGuiApplication>

#include <signal.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "batch.h"
#include "cliargs.h"
#include "commands.h"
#include "imaging/errors.h"
#include "imaging/fileio.h"

using namespace clipora;
using namespace clipora::cli;

namespace {

std::string joined(std::initializer_list<std::string> parts)
{
    std::string text;
    for (const std::string& part : parts)
        if (!part.empty())
            text += (text.empty() ? "" : " ") + part;
    return text;
}

std::string singleUsage(const Command& c)
{
    return joined({c.name, "IN OUT", c.parameters, c.options});
}

std::string batchUsage(const Command& c)
{
    return joined({c.name, "--into DIR", c.batchNeedsTo ? "--to EXT" : "[--to EXT]", "[--jobs N]", c.parameters,
                   c.options, "FILE..."});
}

const char* const generalHelp =
    "IN and FILE are read by their extension (bmp, ico, wmf, emf, jpg, jpeg, gif, png, webp,\n"
    "avif, heic, heif, tif, tiff); OUT is written by its extension (bmp, jpg, gif, png).\n"
    "Pixels a picture leaves transparent become white. JPEG quality Q defaults to 100.\n";

const char* const batchHelp =
    "With --into DIR each FILE is written to DIR (made if missing) under its own base name,\n"
    "with the extension EXT of --to, else its own when clipora-cli writes that format\n"
    "(.jpeg becomes .jpg), else .png. --jobs N works on N files at once (default: the\n"
    "number of cores); the files are the same whatever N. A file that fails is named with\n"
    "its reason and the others go on; one summary line ends the run, whose exit status is 0\n"
    "only when every file succeeded. A run that would replace one of its inputs, or write\n"
    "two files to one name, is refused before anything is written.\n";

void printProgramHelp(std::FILE* to)
{
    std::fprintf(to, "usage: clipora-cli COMMAND ...\n       clipora-cli COMMAND --help\n"
                     "       clipora-cli --version\n\ncommands:\n");
    for (const Command& c : commands())
        std::fprintf(to, "  %-8s %s\n", c.name, c.summary);
    std::fprintf(to, "\n");
    for (const Command& c : commands())
        std::fprintf(to, "  clipora-cli %s\n  clipora-cli %s\n", singleUsage(c).c_str(), batchUsage(c).c_str());
    std::fprintf(to, "\n%s\n%s", generalHelp, batchHelp);
}

void printCommandHelp(const Command& c, std::FILE* to)
{
    std::fprintf(to, "usage: clipora-cli %s\n       clipora-cli %s\n\n%s\n%s\n%s", singleUsage(c).c_str(),
                 batchUsage(c).c_str(), c.details, generalHelp, batchHelp);
}

// Whether the words hold the option `name` before any "--".
bool hasOption(const std::vector<std::string>& words, const std::string& name)
{
    const auto end = std::find(words.begin(), words.end(), "--");
    return std::find(words.begin(), end, name) != end;
}

int runSingle(const Command& c, const std::vector<std::string>& words)
{
    const Args args(words, c.valueOptions, c.flagOptions);
    const auto& p = args.positional();
    if (p.size() != 2 + c.parameterCount)
        throw UsageError{joined({c.name, "takes IN OUT", c.parameters})};
    const std::vector<std::string> parameters(p.begin() + 2, p.end());
    c.prepare(parameters, args)(p[0], p[1]);
    return 0;
}

BatchSettings batchSettings(const Command& c, const Args& args)
{
    BatchSettings settings;
    settings.into = args.option("into").value_or("");
    if (settings.into.empty())
        throw UsageError{"--into needs a folder"};
    settings.to = args.option("to").value_or("");
    if (!settings.to.empty() && settings.to[0] == '.')
        settings.to.erase(0, 1);
    if (args.option("to") && !writableExtension(settings.to))
        throw UsageError{"cannot write '." + settings.to + "' files: use bmp, jpg, gif or png"};
    if (c.batchNeedsTo && settings.to.empty())
        throw UsageError{std::string(c.name) + " --into DIR needs --to EXT"};
    settings.jobs = availableCores();
    if (const auto jobs = args.option("jobs")) {
        const long long n = parseInteger(*jobs, "--jobs");
        if (n < 1 || n > 1024)
            throw UsageError{"--jobs must be 1 to 1024, not " + *jobs};
        settings.jobs = static_cast<unsigned>(n);
    }
    return settings;
}

int runMany(const Command& c, const std::vector<std::string>& words)
{
    std::vector<std::string> valueOptions = c.valueOptions;
    valueOptions.insert(valueOptions.end(), {"into", "to", "jobs"});
    const Args args(words, valueOptions, c.flagOptions);
    const auto& p = args.positional();
    if (p.size() < c.parameterCount + 1)
        throw UsageError{joined({c.name, "--into DIR takes", c.parameters, "FILE..."})};
    const BatchSettings settings = batchSettings(c, args);
    const std::vector<std::string> parameters(p.begin(), p.begin() + static_cast<long>(c.parameterCount));
    const std::vector<std::string> files(p.begin() + static_cast<long>(c.parameterCount), p.end());
    return runBatch(files, settings, c.prepare(parameters, args));
}

int runCommand(const Command& c, const std::vector<std::string>& words)
{
    const bool many = hasOption(words, "--into");
    try {
        return many ? runMany(c, words) : runSingle(c, words);
    } catch (const UsageError& e) {
        std::fprintf(stderr, "clipora-cli: %s\nusage: clipora-cli %s\n", e.text.c_str(),
                     (many ? batchUsage(c) : singleUsage(c)).c_str());
        return 2;
    } catch (const ImagingError& e) {
        std::fprintf(stderr, "clipora-cli: %s\n", e.what());
        return 1;
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "clipora-cli: out of memory\n");
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "clipora-cli: %s\n", e.what());
        return 1;
    }
}

// Ctrl-C, a hang-up or a kill in the middle of a save leaves no temporary
// file behind; the process then ends as the signal would have ended it.
extern "C" void onEndingSignal(int signal)
{
    removeTemporaryFilesInProgress();
    ::raise(signal);  // the handler was reset to the default as it ran
}

void removeTemporaryFilesOnSignals()
{
    struct sigaction action {};
    action.sa_handler = onEndingSignal;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(signal, &action, nullptr);
}

// Run outside a desktop session (as root in a container, on a build
// machine) there is no XDG_RUNTIME_DIR, and Qt notes that on every start: a
// line about nothing the command does. Every other message of Qt's goes on.
QtMessageHandler qtMessages = nullptr;

void quietAboutTheRuntimeFolder(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtWarningMsg && message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set")))
        return;
    qtMessages(type, context, message);
}

}  // namespace

int main(int argc, char* argv[])
{
    removeTemporaryFilesOnSignals();
    const std::string first = argc < 2 ? "" : argv[1];
    if (argc < 2 || first == "--help" || first == "-h") {
        printProgramHelp(argc < 2 ? stderr : stdout);
        return argc < 2 ? 2 : 0;
    }
    if (first == "--version") {
        std::printf("clipora-cli %s\n", CLIPORA_VERSION);
        return 0;
    }
    const Command* command = findCommand(first);
    if (!command) {
        std::fprintf(stderr, "clipora-cli: unknown command '%s'\n", argv[1]);
        printProgramHelp(stderr);
        return 2;
    }
    const std::vector<std::string> words(argv + 2, argv + argc);
    if (hasOption(words, "--help") || hasOption(words, "-h")) {
        printCommandHelp(*command, stdout);
        return 0;
    }
    // Fonts (for the text of metafiles) need a GUI application; no window is shown.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qtMessages = qInstallMessageHandler(quietAboutTheRuntimeFolder);
    int qtArgc = 1;
    QGuiApplication application(qtArgc, argv);
    return runCommand(*command, words);
}
