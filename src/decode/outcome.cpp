#include "decode/outcome.h"

namespace lzh {

const char* DecodeOutcomeText(DecodeOutcome outcome) {
    // In the order of the enumeration.
    static const char* const kTexts[] = {
        "OK",
        "CRC Error!",
        "Wrong size.",
        "Bad table (case a)",
        "Bad table (case b)",
        "Packed data ends early.",
        "Read error.",
        "Unknown method.",
        "Write error.",
        "Out of memory.",
        "Cancelled.",
    };
    static_assert(sizeof kTexts / sizeof kTexts[0] == static_cast<unsigned>(DecodeOutcome::kCancelled) + 1);
    const unsigned index = static_cast<unsigned>(outcome);
    return index < sizeof kTexts / sizeof kTexts[0] ? kTexts[index] : "";
}

}  // namespace lzh
