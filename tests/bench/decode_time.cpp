// decode_time: times the archive core's decoder alone on one archive.
//
//   decode_time ARCHIVE [ROUNDS]
//
// Decodes every entry ROUNDS times (default 5) into a sink that keeps
// nothing, checks each entry's length and CRC-16, and prints the fastest
// round and the processor time of an average round:
// "decode_time: BYTES bytes in SECONDS s (MB/s), cpu SECONDS s".  The
// processor time does not count waits for a processor that other programs
// hold (but Wine counts it in ticks of 10 ms: take enough rounds).  Exit
// status 1 when an entry fails.  Built by the host and by the Windows build, where it
// links the core as the module compiles it; comparing the two builds on one
// archive shows what the module's options cost.
#ifdef _WIN32
#include <windows.h>
#else
#include <time.h>
#endif

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "archive/header.h"
#include "archive/scanner.h"
#include "decode/frame.h"
#include "archive/lha_format.h"

namespace {

class PrintingReporter final : public lzh::Reporter {
public:
    void Report(const char* text) override { std::fprintf(stderr, "decode_time: %s\n", text); }
};

class NullSink final : public lzh::OutputSink {
public:
    bool Write(const uint8_t*, size_t) override { return true; }
};

// Seconds of processor time this process has used.
double CpuSeconds() {
#ifdef _WIN32
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto seconds = [](const FILETIME& t) {  // in 100 ns units
        const uint64_t ticks = static_cast<uint64_t>(t.dwHighDateTime) << 32 | t.dwLowDateTime;
        return static_cast<double>(ticks) / 1e7;
    };
    return seconds(kernel) + seconds(user);
#else
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
#endif
}

uint8_t g_window[lzh::kScanWindowSize];
uint8_t g_work[lzh::kHeaderWorkSize];

// Decodes every entry once; returns the bytes decoded, or -1 on a failure.
long long DecodeAll(FILE* archive, lzh::Reporter& reporter) {
    lzh::HeaderReader reader(archive, reporter, lzh::IsShiftJisLeadByte);
    long offset = -1;
    std::rewind(archive);
    if (!lzh::FindFirstHeader(reader, g_window, g_work, &offset)) return -1;
    std::atomic<int32_t> abortState{lzh::kAbortNone};
    NullSink sink;
    auto decoder = std::make_unique<lzh::Decoder>(archive, sink, abortState);
    long long total = 0;
    std::fseek(archive, offset, SEEK_SET);
    while (reader.ReadEntryHeader(g_work)) {
        const lzh::EntryHeader& h = reader.header;
        const long dataStart = std::ftell(archive);
        const lzh::MethodCode code = lzh::MethodCodeOf(h.method);
        if (code != lzh::kUnknown) {
            const lzh::DecodeOutcome outcome = decoder->DecodeEntry(code, h.packedSize, h.unpackedSize, h.crc16);
            if (outcome != lzh::DecodeOutcome::kOk) {
                std::fprintf(stderr, "decode_time: %s: %s\n", h.name, lzh::DecodeOutcomeText(outcome));
                return -1;
            }
            total += h.unpackedSize;
        }
        if (std::fseek(archive, dataStart + static_cast<long>(h.packedSize), SEEK_SET) != 0) break;
    }
    return total;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: decode_time ARCHIVE [ROUNDS]\n");
        return 2;
    }
    const int rounds = argc == 3 ? std::atoi(argv[2]) : 5;
    FILE* archive = std::fopen(argv[1], "rb");
    if (archive == nullptr || rounds < 1) {
        std::fprintf(stderr, "decode_time: cannot open %s\n", argv[1]);
        return 2;
    }
    PrintingReporter reporter;
    double best = 0;
    long long bytes = 0;
    const double cpu0 = CpuSeconds();
    for (int i = 0; i < rounds; i++) {
        const auto t0 = std::chrono::steady_clock::now();
        bytes = DecodeAll(archive, reporter);
        const auto t1 = std::chrono::steady_clock::now();
        if (bytes < 0) return 1;
        const double s = std::chrono::duration<double>(t1 - t0).count();
        if (i == 0 || s < best) best = s;
    }
    const double cpu = (CpuSeconds() - cpu0) / rounds;
    std::fclose(archive);
    std::printf("decode_time: %lld bytes in %.4f s (%.1f MB/s), cpu %.4f s\n", bytes, best,
                best > 0 ? static_cast<double>(bytes) / best / 1e6 : 0.0, cpu);
    return 0;
}
