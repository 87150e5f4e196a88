// Makes the seed corpora of the fuzz targets from real archives:
//
//   make_seeds OUTDIR ARCHIVE...
//
// writes OUTDIR/<target>/<n> files: whole archives for fuzz_archive and
// fuzz_scanner (the latter behind its filler prefix, once at the start and
// once pushed across the 64 KiB window boundary), the archive from its first
// header on for fuzz_header, and for every entry its packed data behind the
// decoder prefix (decoder_input.h) for the target of its method.
#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "archive/header.h"
#include "archive/scanner.h"
#include "archive/lha_format.h"
#include "decoder_input.h"
#include "fuzz_support.h"

namespace {

constexpr size_t kMaxArchiveSeed = 64 * 1024;  // larger archives give only entry seeds
// Entry seeds stay small so that the decoder targets run fast from the
// start: an entry is taken whole up to these sizes, a larger one is cut to
// its start.  Mutations of the prefix still reach the targets' caps.
constexpr size_t kWholePacked = 24 * 1024;
constexpr uint32_t kWholeUnpacked = 64 * 1024;
constexpr size_t kCutPacked = 8 * 1024;
constexpr uint32_t kCutUnpacked = 16 * 1024;

class QuietReporter final : public lzh::Reporter {
public:
    void Report(const char*) override {}
};

std::string outDir;
int seedCount = 0;

bool ReadWhole(const char* path, std::vector<uint8_t>& bytes) {
    FILE* f = std::fopen(path, "rb");
    if (f == nullptr) return false;
    uint8_t block[65536];
    size_t got;
    bytes.clear();
    while ((got = std::fread(block, 1, sizeof block, f)) > 0) bytes.insert(bytes.end(), block, block + got);
    std::fclose(f);
    return true;
}

void WriteSeed(const char* target, const std::vector<uint8_t>& prefix, const uint8_t* data, size_t size) {
    const std::string dir = outDir + "/" + target;
    mkdir(dir.c_str(), 0777);
    char name[32];
    std::snprintf(name, sizeof name, "/s%05d", seedCount++);
    FILE* f = std::fopen((dir + name).c_str(), "wb");
    if (f == nullptr) {
        std::fprintf(stderr, "make_seeds: cannot write %s%s: %s\n", dir.c_str(), name, std::strerror(errno));
        return;
    }
    std::fwrite(prefix.data(), 1, prefix.size(), f);
    if (size != 0) std::fwrite(data, 1, size, f);
    std::fclose(f);
}

// The decoder target of a method and the method's index in its list.
const char* DecoderTargetOf(lzh::MethodCode code, uint8_t* index) {
    for (const fuzz::DecoderTarget& target : fuzz::kDecoderTargets)
        for (size_t i = 0; i < target.methods.size(); i++)
            if (target.methods[i] == code) {
                *index = static_cast<uint8_t>(i);
                return target.name;
            }
    return nullptr;
}

void SeedsFromArchive(const char* path) {
    std::vector<uint8_t> bytes;
    if (!ReadWhole(path, bytes) || bytes.empty()) {
        std::fprintf(stderr, "make_seeds: cannot read %s\n", path);
        return;
    }
    fuzz::MemoryFile input(bytes.data(), bytes.size());
    QuietReporter reporter;
    lzh::HeaderReader reader(input.file(), reporter, lzh::IsShiftJisLeadByte);
    static uint8_t window[lzh::kScanWindowSize];
    static uint8_t work[lzh::kHeaderWorkSize];
    long offset = -1;
    if (!lzh::FindFirstHeader(reader, window, work, &offset)) return;

    if (bytes.size() <= kMaxArchiveSeed) {
        WriteSeed("fuzz_archive", {}, bytes.data(), bytes.size());
        WriteSeed("fuzz_header", {}, bytes.data() + offset, bytes.size() - offset);
        WriteSeed("fuzz_scanner", {0, 0, 0}, bytes.data(), bytes.size());
        // Filler that puts the first header just before the window's end.
        const size_t fill = (2 * 65536 - 40 - static_cast<size_t>(offset) % 65536) % 65536;
        const std::vector<uint8_t> filler = {static_cast<uint8_t>(fill), static_cast<uint8_t>(fill >> 8),
                                             'x'};
        WriteSeed("fuzz_scanner", filler, bytes.data(), bytes.size());
    }

    std::fseek(input.file(), offset, SEEK_SET);
    for (int entry = 0; entry < 256 && reader.ReadEntryHeader(work); entry++) {
        const lzh::EntryHeader& h = reader.header;
        const long dataStart = std::ftell(input.file());
        uint8_t index = 0;
        const char* target = DecoderTargetOf(lzh::MethodCodeOf(h.method), &index);
        const size_t available = bytes.size() - static_cast<size_t>(dataStart);
        size_t packed = h.packedSize < available ? h.packedSize : available;
        if (target != nullptr && packed > 0) {
            uint32_t unpacked = h.unpackedSize;
            if (packed > kWholePacked || unpacked > kWholeUnpacked) {
                if (packed > kCutPacked) packed = kCutPacked;
                if (unpacked > kCutUnpacked) unpacked = kCutUnpacked;
            }
            const std::vector<uint8_t> prefix = {index,
                                                 0,
                                                 static_cast<uint8_t>(unpacked),
                                                 static_cast<uint8_t>(unpacked >> 8),
                                                 static_cast<uint8_t>(unpacked >> 16),
                                                 0};
            WriteSeed(target, prefix, bytes.data() + dataStart, packed);
        }
        const long next = dataStart + static_cast<long>(h.packedSize);
        if (std::fseek(input.file(), next, SEEK_SET) != 0) break;
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: make_seeds OUTDIR ARCHIVE...\n");
        return 2;
    }
    outDir = argv[1];
    mkdir(outDir.c_str(), 0777);
    for (int i = 2; i < argc; i++) SeedsFromArchive(argv[i]);
    std::printf("%d seeds\n", seedCount);
    return 0;
}
