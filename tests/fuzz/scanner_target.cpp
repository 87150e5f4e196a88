// Fuzz target: the archive scanner that finds the first entry header
// anywhere in a file (behind the module's image, in the real product).
//
// Input: two bytes (little-endian) giving a length of filler, one filler
// byte, then the rest of the file.  The filler lets a short input put its
// headers across the 64 KiB window boundary.
//
// The scanner's answer is compared with a plain search that tries the
// header reader at every candidate position in turn.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "archive/header.h"
#include "archive/scanner.h"
#include "fuzz_support.h"

namespace {

constexpr size_t kPrefixSize = 3;
constexpr long kCommonHeaderSize = 21;

bool IsCandidate(const uint8_t* p) { return p[2] == '-' && p[3] == 'l' && (p[4] == 'h' || p[4] == 'z'); }

// The first position, in file order, where the reader accepts a header.
long FirstHeaderByPlainSearch(const fuzz::MemoryFile& input, uint8_t* work) {
    fuzz::RecordingReporter reporter;
    lzh::HeaderReader reader(input.file(), reporter, fuzz::ShiftJisLead);
    const long size = static_cast<long>(input.size());
    for (long i = 0; i + kCommonHeaderSize <= size; i++) {
        if (!IsCandidate(input.bytes() + i)) continue;
        FUZZ_CHECK(std::fseek(input.file(), i, SEEK_SET) == 0);
        if (reader.ReadEntryHeader(work)) return i;
    }
    return -1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < kPrefixSize) return 0;
    const size_t fill = data[0] | data[1] << 8;
    std::vector<uint8_t> file(fill, data[2]);
    file.insert(file.end(), data + kPrefixSize, data + size);

    fuzz::MemoryFile input(file.data(), file.size());
    fuzz::RecordingReporter reporter;
    lzh::HeaderReader reader(input.file(), reporter, fuzz::ShiftJisLead);
    // Exactly the promised sizes, so that AddressSanitizer sees any overrun.
    auto* window = static_cast<uint8_t*>(std::malloc(lzh::kScanWindowSize));
    auto* scratch = static_cast<uint8_t*>(std::malloc(lzh::kHeaderWorkSize));
    FUZZ_CHECK(window != nullptr && scratch != nullptr);

    long first = -2;
    const int found = lzh::FindFirstHeader(reader, window, scratch, &first);
    FUZZ_CHECK(found == 0 || found == 1);
    if (found) {
        FUZZ_CHECK(first >= 0 && first + kCommonHeaderSize <= static_cast<long>(file.size()));
        FUZZ_CHECK(IsCandidate(file.data() + first));
    } else {
        FUZZ_CHECK(first == -1);
    }
    // The scan gives up once false candidates have read eight times the
    // file (plus 1 MiB); only then may it miss what a plain search finds.
    const bool gaveUp = !found && reader.bytesRead > 8 * file.size() + (1u << 20);
    if (!gaveUp) FUZZ_CHECK(first == FirstHeaderByPlainSearch(input, scratch));

    std::free(scratch);
    std::free(window);
    return 0;
}
