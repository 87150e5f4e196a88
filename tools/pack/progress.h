// The progress line of a long packing: bytes done of the total, the rate
// and the time left, redrawn in place on a terminal at most four times a
// second and erased at the end.
//
//   pack::Progress progress(stderr, "lzhtool: ");   // only when IsTerminal(stderr)
//   progress.Start(totalBytes);
//   ... progress.Add(bytes); progress.Tick();   // from any thread
//   progress.Hide(); print a line; progress.Show();
//   progress.Finish();
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

namespace pack {

// Whether the stream is a terminal (a console on Windows): the only place
// where a line redrawn in place reads as one.
bool IsTerminal(FILE* stream);

// "12.3 of 61.7 MB (19%), 15.2 MB/s, 0:03 left": megabytes, gigabytes from
// a total of 10 GB; the rate and the time left once half a second has
// passed and something is done.
std::string FormatProgress(uint64_t done, uint64_t total, double seconds);

class Progress {
public:
    static constexpr double kInterval = 0.25;  // seconds between two draws

    Progress(FILE* stream, std::string prefix) : stream_(stream), prefix_(std::move(prefix)) {}
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // Starts the clock; the line's total.
    void Start(uint64_t total);
    // Any thread: bytes read.
    void Add(uint64_t bytes) { done_.fetch_add(bytes, std::memory_order_relaxed); }
    // Any thread: draws the line when the last draw is kInterval old (the
    // first at once).  A thread that finds another one drawing goes on.
    void Tick() { TickAt(Elapsed()); }
    void TickAt(double seconds);
    // Erases the line before other output on the terminal, and draws it
    // again, as it was, after it.
    void Hide();
    void Show();
    // Erases the line for good.
    void Finish();

private:
    double Elapsed() const;
    void Draw(double seconds);
    void Put(const std::string& text);
    void Erase();

    FILE* stream_;
    std::string prefix_;
    std::atomic<uint64_t> done_{0};
    uint64_t total_ = 0;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    std::mutex mutex_;  // held while drawing
    bool drawn_ = false;
    bool hidden_ = false;
    double lastDraw_ = 0;
    std::string text_;  // the line last drawn
    size_t width_ = 0;  // of the line on the terminal, 0 when none is
};

}  // namespace pack
