#include "progress.h"

#include <cmath>

namespace clipora::cli {

BatchReport::BatchReport(std::size_t total, std::FILE* to, bool bar) : to_(to), bar_(bar), total_(total)
{
    if (bar_)
        drawBar();
}

std::string BatchReport::barLine(std::size_t done, std::size_t total, double seconds)
{
    constexpr std::size_t cells = 30;
    const std::size_t filled = total ? done * cells / total : cells;
    std::string line = "[" + std::string(filled, '#') + std::string(cells - filled, '.') + "] ";
    line += std::to_string(done) + "/" + std::to_string(total);
    char text[64];
    if (done > 0 && seconds > 0) {
        const double rate = static_cast<double>(done) / seconds;
        const long left = std::lround(static_cast<double>(total - done) / rate);
        std::snprintf(text, sizeof text, "  %.1f files/s  %ld:%02ld left", rate, left / 60, left % 60);
    } else {
        std::snprintf(text, sizeof text, "  -- files/s  --:-- left");
    }
    return line + text;
}

void BatchReport::drawBar()
{
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    std::fprintf(to_, "\r%s\x1b[K", barLine(done_, total_, seconds).c_str());
    std::fflush(to_);
}

void BatchReport::clearBar()
{
    std::fputs("\r\x1b[K", to_);
}

void BatchReport::finished(const std::string& file, const std::string& reason)
{
    const std::lock_guard lock(mutex_);
    ++done_;
    if (!reason.empty()) {
        ++failed_;
        if (bar_)
            clearBar();
        std::fprintf(to_, "clipora-cli: %s: %s\n", file.c_str(), reason.c_str());
    }
    if (bar_)
        drawBar();
    std::fflush(to_);
}

std::size_t BatchReport::close()
{
    const std::lock_guard lock(mutex_);
    if (bar_)
        clearBar();
    std::fprintf(to_, "clipora-cli: %zu of %zu files done, %zu failed\n", done_ - failed_, total_, failed_);
    std::fflush(to_);
    return failed_;
}

}  // namespace clipora::cli
