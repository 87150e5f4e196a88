#include "decode/huffman_table.h"

#include <algorithm>

namespace lzh {

bool HuffmanTables::Fail(DecodeOutcome outcome) {
    if (fault) *fault = outcome;
    return false;
}

bool HuffmanTables::MakeTable(unsigned nchar, const uint8_t* lengths, unsigned width, uint16_t* table) {
    uint16_t count[17] = {};
    for (unsigned i = 0; i < nchar; i++) {
        if (lengths[i] > 16) return Fail(DecodeOutcome::kBadTableA);
        count[lengths[i]]++;  // unused symbols too: a branch here would be mispredicted
    }

    // The lengths must fill the 16-bit code space exactly; a set that fills
    // it more than once would give codes that overlap.  No length at all
    // leaves the table as it is.
    uint32_t filled = 0;
    for (unsigned len = 1; len <= 16; len++) filled += uint32_t{count[len]} << (16 - len);
    if (filled == 0) return true;
    if (filled != 1u << 16 || width > kCharTableBits) return Fail(DecodeOutcome::kBadTableB);

    // The symbols in code order (by length, then by symbol: canonical
    // codes), so that the codes of one length fill runs of one size in a
    // row, a loop whose trip count the processor predicts.
    uint16_t sorted[kCharSymbols];
    uint16_t next[17];
    next[0] = 0;
    for (unsigned len = 1; len <= 16; len++) next[len] = static_cast<uint16_t>(next[len - 1] + count[len - 1]);
    for (unsigned ch = 0; ch < nchar; ch++) sorted[next[lengths[ch]]++] = static_cast<uint16_t>(ch);

    const unsigned tableSize = 1u << width;
    unsigned i = count[0];  // the first used symbol in `sorted`
    unsigned e = 0;         // the first table entry not yet filled
    for (unsigned len = 1; len <= width; len++) {
        const unsigned run = 1u << (width - len);
        for (unsigned n = count[len]; n > 0; n--) {
            std::fill_n(table + e, run, Entry(sorted[i++], len));
            e += run;
        }
    }

    // The entries behind the short codes are the roots of the long codes'
    // trees: a root is a node as a table entry, the links below it hold plain
    // node and symbol numbers.
    for (unsigned k = e; k < tableSize; k++) table[k] = 0;
    unsigned nextNode = nchar;
    const unsigned shift = 16 - width;
    const unsigned mask = 1u << (15 - width);
    unsigned code = e << shift;  // 16-bit codes from here on
    for (unsigned len = width + 1; len <= 16; len++) {
        for (unsigned n = count[len]; n > 0; n--) {
            unsigned k = code;
            code += 1u << (16 - len);
            uint16_t* slot = &table[k >> shift];
            unsigned slotShift = kSymbolShift;
            for (unsigned depth = len - width; depth > 0; depth--) {
                if (*slot == 0) {
                    if (nextNode >= kLinks) return Fail(DecodeOutcome::kBadTableB);
                    leftLinks[nextNode] = rightLinks[nextNode] = 0;
                    *slot = static_cast<uint16_t>(nextNode++ << slotShift);
                }
                const unsigned node = *slot >> slotShift;
                slot = (k & mask) ? &rightLinks[node] : &leftLinks[node];
                slotShift = 0;
                k <<= 1;
            }
            *slot = sorted[i++];
        }
    }
    return true;
}

unsigned HuffmanTables::Decode(BitInput& bits, const uint16_t* table, unsigned width, const uint8_t* lengths,
                               unsigned count) const {
    const uint32_t window = bits.Peek32();
    const unsigned entry = table[window >> (32 - width)];
    unsigned s = SymbolOf(entry);
    if (s < count) {
        bits.FillBits(LengthOf(entry));
        return s;
    }
    s = WalkTree(s, count, window, 1u << (31 - width));
    const unsigned length = lengths[s];
    bits.FillBits(length > width ? length : width);
    return s;
}

void MakeFixedLengths(uint8_t* lengths, unsigned count, unsigned first, const uint8_t* row) {
    unsigned len = first;
    for (unsigned i = 0; i < count; i++) {
        while (*row != 0 && *row == i) {
            len++;
            row++;
        }
        lengths[i] = static_cast<uint8_t>(len);
    }
}

}  // namespace lzh
