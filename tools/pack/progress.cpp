#include "progress.h"

#include <cmath>

#ifdef _WIN32
#include <windows.h>

#include <io.h>
#else
#include <unistd.h>
#endif

namespace pack {

bool IsTerminal(FILE* stream) {
#ifdef _WIN32
    // _isatty also holds for NUL and other character devices; only a
    // console has a console mode.
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
#else
    return isatty(fileno(stream)) != 0;
#endif
}

std::string FormatProgress(uint64_t done, uint64_t total, double seconds) {
    if (done > total) done = total;
    const bool giga = total >= 10000000000u;
    const double unit = giga ? 1e9 : 1e6;
    const int percent = total == 0 ? 100 : static_cast<int>(done * 100 / total);
    char text[128];
    int length = std::snprintf(text, sizeof text, "%.1f of %.1f %s (%d%%)", static_cast<double>(done) / unit,
                               static_cast<double>(total) / unit, giga ? "GB" : "MB", percent);
    if (seconds >= 0.5 && done > 0) {
        const double rate = static_cast<double>(done) / seconds;
        const uint64_t left = static_cast<uint64_t>(std::llround(static_cast<double>(total - done) / rate));
        char clock[32];
        if (left >= 3600)
            std::snprintf(clock, sizeof clock, "%u:%02u:%02u", static_cast<unsigned>(left / 3600),
                          static_cast<unsigned>(left / 60 % 60), static_cast<unsigned>(left % 60));
        else
            std::snprintf(clock, sizeof clock, "%u:%02u", static_cast<unsigned>(left / 60),
                          static_cast<unsigned>(left % 60));
        std::snprintf(text + length, sizeof text - static_cast<size_t>(length), ", %.1f MB/s, %s left",
                      rate / 1e6, clock);
    }
    return text;
}

void Progress::Start(uint64_t total) {
    const std::lock_guard<std::mutex> lock(mutex_);
    total_ = total;
    done_ = 0;
    start_ = std::chrono::steady_clock::now();
    drawn_ = hidden_ = false;
}

double Progress::Elapsed() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

void Progress::TickAt(double seconds) {
    const std::unique_lock<std::mutex> lock(mutex_, std::try_to_lock);
    if (!lock.owns_lock() || hidden_) return;
    if (drawn_ && seconds - lastDraw_ < kInterval) return;
    Draw(seconds);
}

void Progress::Hide() {
    const std::lock_guard<std::mutex> lock(mutex_);
    Erase();
    hidden_ = true;
}

void Progress::Show() {
    const std::lock_guard<std::mutex> lock(mutex_);
    hidden_ = false;
    if (drawn_) Put(text_);
}

void Progress::Finish() {
    const std::lock_guard<std::mutex> lock(mutex_);
    Erase();
    hidden_ = true;
}

void Progress::Draw(double seconds) {
    text_ = prefix_ + FormatProgress(done_.load(std::memory_order_relaxed), total_, seconds);
    Put(text_);
    drawn_ = true;
    lastDraw_ = seconds;
}

// The line over the one shown, padded with blanks where it is shorter.
void Progress::Put(const std::string& text) {
    std::string line(1, '\r');
    line += text;
    if (text.size() < width_) line.append(width_ - text.size(), ' ');
    std::fputs(line.c_str(), stream_);
    std::fflush(stream_);
    width_ = text.size();
}

void Progress::Erase() {
    if (width_ == 0) return;
    std::string blank(width_ + 2, ' ');
    blank.front() = blank.back() = '\r';
    std::fputs(blank.c_str(), stream_);
    std::fflush(stream_);
    width_ = 0;
}

}  // namespace pack
