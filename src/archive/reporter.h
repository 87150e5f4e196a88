// The seams through which the portable reader and decoders meet their
// caller: fixed-text faults ("invalid header.", "CRC Error!", "Bad table
// (case a)"), which the module shows in message boxes, tools print and tests
// record; the lead-byte test of the archive's code page; and the run's
// abort state, which they poll.
#pragma once

#include <cstdint>

namespace lzh {

class Reporter {
public:
    virtual void Report(const char* text) = 0;

protected:
    ~Reporter() = default;
};

// Tells the reader whether a byte starts a double-byte character in the
// archive's code page (IsDBCSLeadByte in the module, a Shift-JIS table in
// the tools and tests).
using LeadBytePredicate = bool (*)(unsigned char byte);

// Shift-JIS (code page 932) lead bytes.
inline bool IsShiftJisLeadByte(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// Abort states of a run, polled by the worker and the decoders: 0 running,
// 100 cancelled by the user, -1 a failure ended the extraction.
constexpr int32_t kAbortNone = 0;
constexpr int32_t kAbortCancelled = 100;
constexpr int32_t kAbortFailed = -1;

}  // namespace lzh
