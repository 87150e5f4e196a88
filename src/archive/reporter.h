// The seam through which the portable reader and decoders report their
// fixed-text faults ("invalid header.", "CRC Error!", "Bad table (case a)").
// The module shows them in message boxes; tools print them; tests record them.
#pragma once

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

}  // namespace lzh
