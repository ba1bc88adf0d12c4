#include "cli/progress_line.h"

#include <cstdio>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace tarvix::cli {
namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

double Megabytes(std::uint64_t bytes) {
    return static_cast<double>(bytes) / 1e6;
}

}  // namespace

std::string ProgressText(const BatchMonitor::Progress& p, double seconds) {
    const double rate = seconds > 0 ? Megabytes(p.bytesDone) / seconds : 0.0;
    char text[160];
    std::snprintf(text, sizeof text, "%zu/%zu files, %.1f/%.1f MB, %.1f MB/s", p.filesDone,
                  p.filesTotal, Megabytes(p.bytesDone), Megabytes(p.bytesTotal), rate);
    return text;
}

ProgressLine::ProgressLine(bool enabled) : enabled_(enabled), start_(Clock::now()) {}

bool ProgressLine::StderrIsTerminal() {
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(STDERR_FILENO) == 1;
#endif
}

void ProgressLine::update(const BatchMonitor::Progress& progress) {
    if (!enabled_ || (drawn_ && Clock::now() - lastDraw_ < kRedrawInterval)) return;
    draw(progress);
}

void ProgressLine::finish(const BatchMonitor::Progress& progress) {
    if (!enabled_) return;
    draw(progress);
    std::fputc('\n', stderr);
}

void ProgressLine::draw(const BatchMonitor::Progress& progress) {
    lastDraw_ = Clock::now();
    drawn_ = true;
    const std::chrono::duration<double> elapsed = lastDraw_ - start_;
    // Back to the line's start, the new text, then clear whatever a longer one left.
    std::fprintf(stderr, "\r%s\x1b[K", ProgressText(progress, elapsed.count()).c_str());
    std::fflush(stderr);
}

}  // namespace tarvix::cli
