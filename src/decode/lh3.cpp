#include "decode/lh3.h"

#include <cstring>

namespace lzh {
namespace {

// Fixed position code: length 2, raised at these indices (index 1 twice, so
// no code has length 3): 2, 4, 4, 5, 5, 5, 6 ... 9.
constexpr uint8_t kFixedPositionRow[] = {1, 1, 3, 6, 13, 31, 78, 0};

}  // namespace

void Lh3Decoder::ReadBlockHead() {
    blockCounter_ = bits_.GetBits(16);

    // Character lengths: a 0 bit for no code, or a 1 bit and length - 1 in
    // 4 bits.  Three leading lengths of 1 announce a single 9-bit symbol
    // that takes no code bits.
    bool single = false;
    for (unsigned i = 0; i < kSymbols; i++) {
        t_.charLengths[i] = bits_.GetBits(1) ? static_cast<uint8_t>(bits_.GetBits(4) + 1) : 0;
        if (i == 2 && t_.charLengths[0] == 1 && t_.charLengths[1] == 1 && t_.charLengths[2] == 1) {
            const uint16_t v = bits_.GetBits(9);
            std::memset(t_.charLengths, 0, kSymbols);
            for (uint16_t& e : t_.charTable) e = HuffmanTables::Entry(v, 0);
            single = true;
            break;
        }
    }
    if (!single) t_.MakeTable(kSymbols, t_.charLengths, HuffmanTables::kCharTableBits, t_.charTable);

    // Position lengths: 4 bits each, or the fixed set.  Three leading
    // lengths of 1 announce a single position code; it has 128 possible
    // values and so takes 7 bits.
    if (bits_.GetBits(1)) {
        for (unsigned i = 0; i < kPositionCodes; i++) {
            t_.ptLengths[i] = static_cast<uint8_t>(bits_.GetBits(4));
            if (i == 2 && t_.ptLengths[0] == 1 && t_.ptLengths[1] == 1 && t_.ptLengths[2] == 1) {
                const uint16_t v = bits_.GetBits(7);
                std::memset(t_.ptLengths, 0, kPositionCodes);
                for (uint16_t& e : t_.ptTable) e = HuffmanTables::Entry(v, 0);
                break;
            }
        }
    } else {
        MakeFixedLengths(t_.ptLengths, kPositionCodes, 2, kFixedPositionRow);
    }
    // All-zero lengths (the single-code case) leave the table as it is.
    t_.MakeTable(kPositionCodes, t_.ptLengths, HuffmanTables::kPtTableBits, t_.ptTable);
}

}  // namespace lzh
