#include "fuzz_support.h"

#include <cstdlib>
#include <cstring>

#include "archive/crc16.h"

namespace fuzz {

void CheckFailed(const char* what, const char* file, int line) {
    std::fprintf(stderr, "FUZZ_CHECK failed: %s at %s:%d\n", what, file, line);
    std::abort();
}

MemoryFile::MemoryFile(const uint8_t* data, size_t size) : size_(size) {
    bytes_ = static_cast<uint8_t*>(std::malloc(size != 0 ? size : 1));
    FUZZ_CHECK(bytes_ != nullptr);
    if (size != 0) std::memcpy(bytes_, data, size);
    file_ = fmemopen(bytes_, size, "rb");
    FUZZ_CHECK(file_ != nullptr);
}

MemoryFile::~MemoryFile() {
    std::fclose(file_);
    std::free(bytes_);
}

void RecordingReporter::Report(const char* text) {
    if (std::strcmp(text, "invalid header.") == 0) {
        invalidHeader++;
    } else {
        std::fprintf(stderr, "unexpected fault text: \"%s\"\n", text);
        FUZZ_CHECK(!"fault text is one of the fixed ones");
    }
}

bool CountingSink::Write(const uint8_t* bytes, size_t count) {
    FUZZ_CHECK(count != 0);
    FUZZ_CHECK(!refused);  // after a failed write the decoder writes no more
    if (refuseNext) {
        refuseNext = false;
        refused = true;
        return false;
    }
    FUZZ_CHECK(written + count <= writeLimit);
    crc16 = lzh::UpdateCrc16(crc16, bytes, count);
    written += count;
    return true;
}

bool ShiftJisLead(unsigned char byte) { return lzh::IsShiftJisLeadByte(byte); }
bool EveryByteLead(unsigned char) { return true; }

}  // namespace fuzz
