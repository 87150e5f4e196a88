// What became of one entry's decoding: the one verdict that the module's
// worker, lzhtool and the tests judge an entry by.
#pragma once

#include <cstdint>

namespace lzh {

enum class DecodeOutcome : uint8_t {
    kOk,              // every byte, and the CRC-16 matches
    kCrcMismatch,     // every byte, but the CRC-16 differs
    kLengthMismatch,  // more or fewer bytes than the header's unpacked size
    kBadTableA,       // a code length above 16
    kBadTableB,       // code lengths that do not fill the code space exactly
    kPastPackedData,  // the stream asked for more than its packed data
    kReadError,       // the archive ended (or failed) inside the packed data
    kUnknownMethod,   // a method that cannot be decoded, with bytes to produce
    kWriteFailed,     // the output refused a write
    kNoMemory,        // the dictionary could not be allocated
    kCancelled,       // the run was cancelled before the entry was complete
};

// The fixed English text of an outcome ("CRC Error!", "Bad table (case a)").
const char* DecodeOutcomeText(DecodeOutcome outcome);

}  // namespace lzh
