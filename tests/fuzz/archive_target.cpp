// Fuzz target: a whole archive as the module meets it.  The scanner finds
// the first header, then every entry's header is read and its data decoded
// with the method it names, as "lzhtool t" does.  Unpacked sizes are capped
// (per entry and per input) so that a run stays fast.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "archive/header.h"
#include "archive/scanner.h"
#include "archive/lha_format.h"
#include "decode_check.h"
#include "fuzz_support.h"

namespace {

constexpr int kMaxEntries = 64;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::MemoryFile input(data, size);
    fuzz::RecordingReporter scanReporter;
    lzh::HeaderReader reader(input.file(), scanReporter, fuzz::ShiftJisLead);
    auto* window = static_cast<uint8_t*>(std::malloc(lzh::kScanWindowSize));
    auto* work = static_cast<uint8_t*>(std::malloc(lzh::kHeaderWorkSize));
    FUZZ_CHECK(window != nullptr && work != nullptr);

    long offset = -1;
    if (lzh::FindFirstHeader(reader, window, work, &offset)) {
        auto bench = std::make_unique<fuzz::DecodeBench>(input.file(), input.size());
        uint64_t requested = 0;
        FUZZ_CHECK(std::fseek(input.file(), offset, SEEK_SET) == 0);
        for (int entry = 0; entry < kMaxEntries && reader.ReadEntryHeader(work); entry++) {
            const lzh::EntryHeader& h = reader.header;
            uint32_t unpacked = h.unpackedSize;
            if (unpacked > fuzz::kMaxUnpacked) unpacked = fuzz::kMaxUnpacked;
            if (requested + unpacked <= fuzz::kMaxOutputPerInput) {
                requested += unpacked;
                bench->DecodeChecked(lzh::MethodCodeOf(h.method), h.packedSize, unpacked, h.crc16);
            }
            if (!reader.SeekNextHeader()) break;
        }
    }
    std::free(work);
    std::free(window);
    return 0;
}
