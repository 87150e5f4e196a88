// Fuzz target: the entry header reader, levels 0 to 2 with their extended
// headers.  The input is an archive from its first header on; the target
// reads header after header as the extraction worker does (seeking over
// each entry's packed data), once with Shift-JIS lead bytes and once with
// every byte taken for a lead byte, and takes the UTF-16 names too.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "archive/header.h"
#include "fuzz_support.h"

namespace {

constexpr int kMaxEntries = 64;

uint32_t Get32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }

// The fields the reader copies straight from the common part of the header
// must match the file; a name that ran over its array would show here first,
// in the method id stored right behind it.
void CheckAcceptedHeader(const lzh::EntryHeader& h, const uint8_t* at) {
    FUZZ_CHECK(std::memchr(h.name, '\0', sizeof h.name) != nullptr);
    FUZZ_CHECK(h.method[5] == '\0');
    FUZZ_CHECK(std::memcmp(h.method, at + 2, 5) == 0);
    FUZZ_CHECK(h.method[0] == '-' && h.method[1] == 'l');
    FUZZ_CHECK(h.level <= 2 && h.level == at[20]);
    FUZZ_CHECK(h.unpackedSize == Get32(at + 11));
    FUZZ_CHECK(h.timeStamp == Get32(at + 15));
    if (h.level == 0) FUZZ_CHECK(h.packedSize == Get32(at + 7));
    if (h.level == 0) FUZZ_CHECK(h.attribute == at[19]);
}

// A 0x44/0x45 text as the reader should take it: UTF-16LE up to its first
// NUL, well-formed, at most 260 units, 0xFFFF read as a backslash; any
// other text gives none.
std::u16string WideText(const uint8_t* data, int size) {
    std::u16string text;
    for (int i = 0; i + 1 < size && (data[i] | data[i + 1]) != 0; i += 2)
        text += static_cast<char16_t>(data[i] | data[i + 1] << 8);
    bool wellFormed = size % 2 == 0 && text.size() <= lzh::kMaxExtendedWideName;
    for (size_t i = 0; i < text.size(); i++) {
        const bool high = (text[i] & 0xFC00) == 0xD800, low = (text[i] & 0xFC00) == 0xDC00;
        const bool nextLow = i + 1 < text.size() && (text[i + 1] & 0xFC00) == 0xDC00;
        if (low || (high && !nextLow)) wellFormed = false;
        if (high && nextLow) i++;
        else if (text[i] == 0xFFFF) text[i] = u'\\';
    }
    return wellFormed ? text : std::u16string();
}

// The UTF-16 names and code page must be those of the last 0x44, 0x45 and
// 0x46 in the accepted header's chain of extended headers.
void CheckWideNames(const lzh::WideNames& names, const uint8_t* at) {
    std::u16string file, folder;
    uint32_t codePage = 0;
    if (at[20] != 0) {
        int pos = at[20] == 2 ? 26 : at[0] + 2;
        for (int size = at[pos - 2] | at[pos - 1] << 8; size > 2; size = at[pos - 2] | at[pos - 1] << 8) {
            const uint8_t* ext = at + pos;
            if (ext[0] == 0x44) file = WideText(ext + 1, size - 3);
            if (ext[0] == 0x45) folder = WideText(ext + 1, size - 3);
            if (ext[0] == 0x46 && size >= 7) codePage = Get32(ext + 1);
            pos += size;
        }
    }
    FUZZ_CHECK(names.file == file);
    FUZZ_CHECK(names.folder == folder);
    FUZZ_CHECK(names.codePage == codePage);
}

void ReadAllHeaders(const uint8_t* data, size_t size, lzh::LeadBytePredicate isLeadByte) {
    fuzz::MemoryFile input(data, size);
    fuzz::RecordingReporter reporter;
    lzh::HeaderReader reader(input.file(), reporter, isLeadByte);
    // Exactly the promised size, so that AddressSanitizer sees any overrun.
    auto* work = static_cast<uint8_t*>(std::malloc(lzh::kHeaderWorkSize));
    auto* names = static_cast<lzh::WideNames*>(std::malloc(sizeof(lzh::WideNames)));
    FUZZ_CHECK(work != nullptr && names != nullptr);
    reader.wideNames = names;

    for (int entry = 0; entry < kMaxEntries; entry++) {
        const long start = std::ftell(input.file());
        FUZZ_CHECK(start >= 0 && static_cast<size_t>(start) <= size);
        reporter.Clear();
        const int accepted = reader.ReadEntryHeader(work);
        FUZZ_CHECK(accepted == 0 || accepted == 1);
        FUZZ_CHECK(reporter.invalidHeader <= 1);
        if (reporter.invalidHeader) FUZZ_CHECK(accepted == 0 && reader.header.level < 2);
        if (!accepted) break;

        const long dataStart = std::ftell(input.file());
        FUZZ_CHECK(dataStart >= start + 21 && static_cast<size_t>(dataStart) <= size);
        CheckAcceptedHeader(reader.header, input.bytes() + start);
        CheckWideNames(*names, input.bytes() + start);

        if (!reader.SeekNextHeader()) break;
    }
    std::free(names);
    std::free(work);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ReadAllHeaders(data, size, fuzz::ShiftJisLead);
    ReadAllHeaders(data, size, fuzz::EveryByteLead);
    return 0;
}
