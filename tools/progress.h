#pragma once
// What a batch reports on standard error: each failure with its reason, a
// progress bar while standard error is a terminal, and one summary line.
// Safe to call from several workers at once.

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <mutex>
#include <string>

namespace clipora::cli {

class BatchReport {
public:
    BatchReport(std::size_t total, std::FILE* to, bool bar);
    // A file finished: `reason` is empty when it succeeded.
    void finished(const std::string& file, const std::string& reason);
    // Ends the bar and writes the summary line; the number of failures.
    std::size_t close();

    // The bar's line: done of total, files per second and time left.
    static std::string barLine(std::size_t done, std::size_t total, double seconds);

private:
    void drawBar();
    void clearBar();

    std::mutex mutex_;
    std::FILE* to_;
    bool bar_;
    std::size_t total_, done_ = 0, failed_ = 0;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

}  // namespace clipora::cli
