// Fuzz target: a whole archive as the module meets it.  The scanner finds
// the first header, then every entry's header is read and its data decoded
// with the method it names, as "lzhtool t" does.  Unpacked sizes are capped
// (per entry and per input) so that a run stays fast.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

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
    auto* names = static_cast<lzh::WideNames*>(std::malloc(sizeof(lzh::WideNames)));
    FUZZ_CHECK(window != nullptr && work != nullptr && names != nullptr);
    reader.wideNames = names;  // as a caller that shows the exact names

    long offset = -1;
    if (lzh::FindFirstHeader(reader, window, work, &offset)) {
        auto bench = std::make_unique<fuzz::DecodeBench>(input.file(), input.size());
        uint64_t requested = 0;
        FUZZ_CHECK(std::fseek(input.file(), offset, SEEK_SET) == 0);
        for (int entry = 0; entry < kMaxEntries && reader.ReadEntryHeader(work); entry++) {
            const lzh::EntryHeader& h = reader.header;
            FUZZ_CHECK(std::char_traits<char16_t>::length(names->file) <= lzh::kMaxExtendedWideName);
            FUZZ_CHECK(std::char_traits<char16_t>::length(names->folder) <= lzh::kMaxExtendedWideName);
            uint32_t unpacked = h.unpackedSize;
            if (unpacked > fuzz::kMaxUnpacked) unpacked = fuzz::kMaxUnpacked;
            if (requested + unpacked <= fuzz::kMaxOutputPerInput) {
                requested += unpacked;
                bench->DecodeChecked(lzh::MethodCodeOf(h.method), h.packedSize, unpacked, h.crc16);
            }
            if (!reader.SeekNextHeader()) break;
        }
    }
    std::free(names);
    std::free(work);
    std::free(window);
    return 0;
}
