#include "decode/huffman_table.h"

namespace lzh {

bool HuffmanTables::Fail(const char* text) {
    if (reporter) reporter->Report(text);
    if (damaged) *damaged = true;
    return false;
}

bool HuffmanTables::MakeTable(unsigned nchar, const uint8_t* lengths, unsigned width, uint16_t* table) {
    uint16_t count[17] = {};
    uint16_t start[18];
    uint16_t weight[17];

    for (unsigned i = 0; i < nchar; i++) {
        if (lengths[i] > 16) return Fail("Bad table (case a)");
        if (lengths[i] != 0) count[lengths[i]]++;
    }

    // The lengths must fill the 16-bit code space exactly (modulo 2^16).
    start[1] = 0;
    for (unsigned len = 1; len <= 16; len++)
        start[len + 1] = static_cast<uint16_t>(start[len] + (count[len] << (16 - len)));
    if (start[17] != 0 || width > kCharTableBits) return Fail("Bad table (case b)");

    const unsigned tableSize = 1u << width;
    const unsigned shift = 16 - width;
    for (unsigned len = 1; len <= width; len++) {
        start[len] = static_cast<uint16_t>(start[len] >> shift);
        weight[len] = static_cast<uint16_t>(1u << (width - len));
    }
    for (unsigned len = width + 1; len <= 16; len++) weight[len] = static_cast<uint16_t>(1u << (16 - len));

    // Entries behind the short codes are the roots of the long codes' trees.
    unsigned i = static_cast<uint16_t>(start[width + 1] >> shift);
    if (i != 0)
        for (; i < tableSize; i++) table[i] = 0;

    unsigned nextNode = nchar;
    const unsigned mask = 1u << (15 - width);
    for (unsigned ch = 0; ch < nchar; ch++) {
        const unsigned len = lengths[ch];
        if (len == 0) continue;
        unsigned k = start[len];
        unsigned next = static_cast<uint16_t>(k + weight[len]);
        if (len <= width) {
            if (next > tableSize) next = tableSize;
            const uint16_t entry = Entry(ch, len);
            for (unsigned e = k; e < next; e++) table[e] = entry;
        } else {
            if ((k >> shift) >= tableSize) return Fail("Bad table (case c)");
            // The first level holds the root as an entry, the links hold
            // plain node and symbol numbers.
            uint16_t& root = table[k >> shift];
            if (root == 0) {
                if (nextNode >= kLinks) return Fail("Bad table (case b)");
                leftLinks[nextNode] = rightLinks[nextNode] = 0;
                root = Entry(nextNode++, 0);
            }
            uint16_t* link = (k & mask) ? &rightLinks[SymbolOf(root)] : &leftLinks[SymbolOf(root)];
            k = static_cast<uint16_t>(k << 1);
            for (unsigned n = len - width - 1; n > 0; n--) {
                if (*link == 0) {
                    // An over-full set of lengths could ask for more nodes
                    // than the link arrays hold.
                    if (nextNode >= kLinks) return Fail("Bad table (case b)");
                    leftLinks[nextNode] = rightLinks[nextNode] = 0;
                    *link = static_cast<uint16_t>(nextNode++);
                }
                link = (k & mask) ? &rightLinks[*link] : &leftLinks[*link];
                k = static_cast<uint16_t>(k << 1);
            }
            *link = static_cast<uint16_t>(ch);
        }
        start[len] = static_cast<uint16_t>(next);
    }
    return true;
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
