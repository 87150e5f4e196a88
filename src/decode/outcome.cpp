#include "decode/outcome.h"

namespace lzh {

const char* DecodeOutcomeText(DecodeOutcome outcome) {
    // The texts one after another, in the order of the enumeration (outcome
    // is one of its values): the module keeps no table of pointers to them.
    static constexpr char kTexts[] =
        "OK\0"
        "CRC Error!\0"
        "Wrong size.\0"
        "Bad table (case a)\0"
        "Bad table (case b)\0"
        "Packed data ends early.\0"
        "Read error.\0"
        "Unknown method.\0"
        "Write error.\0"
        "Out of memory.\0"
        "Cancelled.";
    const char* text = kTexts;
    for (unsigned n = static_cast<unsigned>(outcome); n > 0; n--)
        while (*text++ != '\0') {
        }
    return text;
}

}  // namespace lzh
