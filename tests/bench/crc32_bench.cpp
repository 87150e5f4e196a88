// Speed of the module's whole-archive CRC-32 check, run under Wine on a
// display: CheckFileCrc over a file as the module runs it (reads; dialog
// 103 only once the check has taken 250 ms), the same with the dialog from
// the start, and the CRC-32 loop alone over the same bytes in memory.  The
// module library's -Oz machine code (the module's own link-time
// optimisation may inline it differently); prints MB/s, best of RUNS runs.
//   usage: crc32_bench.exe FILE [RUNS]
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/archive_crc.h"
#include "package/crc32.h"
#include "ui/ui.h"

namespace {

double Now() {
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: crc32_bench.exe FILE [RUNS]\n");
        return 2;
    }
    const int runs = argc > 2 ? std::atoi(argv[2]) : 3;
    InitCommonControls();
    g_ui.resources = GetModuleHandleA(nullptr);

    FILE* file = std::fopen(argv[1], "rb");
    if (file == nullptr) {
        std::fprintf(stderr, "crc32_bench: cannot open %s\n", argv[1]);
        return 1;
    }
    std::vector<uint8_t> bytes;
    uint8_t chunk[65536];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        bytes.insert(bytes.end(), chunk, chunk + got);
    std::fclose(file);
    const double megabytes = static_cast<double>(bytes.size()) / 1e6;

    double bestCheck = 1e9, bestShown = 1e9, bestLoop = 1e9;
    uint32_t checked = 0, shown = 0, looped = 0;
    auto* table = static_cast<Crc32Table*>(std::malloc(sizeof(Crc32Table)));
    wchar_t path[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, argv[1], -1, path, MAX_PATH);
    for (int run = 0; run < runs; run++) {
        double t0 = Now();
        checked = CheckFileCrc(nullptr, path, 0, 0, 0);
        double t1 = Now();
        if (t1 - t0 < bestCheck) bestCheck = t1 - t0;

        t0 = Now();
        shown = CheckFileCrc(nullptr, path, 0, 0, 0, 0);
        t1 = Now();
        if (t1 - t0 < bestShown) bestShown = t1 - t0;

        t0 = Now();
        MakeCrc32Table(*table);
        looped = FinishCrc32(UpdateCrc32(*table, kCrc32Start, bytes.data(), bytes.size()));
        t1 = Now();
        if (t1 - t0 < bestLoop) bestLoop = t1 - t0;
    }
    std::free(table);
    if (checked != looped || shown != looped) {
        std::fprintf(stderr, "crc32_bench: the checks gave %08X and %08X, the loop %08X\n", checked, shown,
                     looped);
        return 1;
    }
    std::printf("crc32: %.1f MB, CRC-32 %08X\n", megabytes, checked);
    std::printf("crc32: whole check, as the module runs it %8.1f MB/s  %.3f s\n", megabytes / bestCheck,
                bestCheck);
    std::printf("crc32: with dialog 103 from the start     %8.1f MB/s  %.3f s\n", megabytes / bestShown,
                bestShown);
    std::printf("crc32: loop alone, in memory              %8.1f MB/s  %.3f s\n", megabytes / bestLoop,
                bestLoop);
    return 0;
}
