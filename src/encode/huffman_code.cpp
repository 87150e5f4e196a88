#include "encode/huffman_code.h"

#include <algorithm>

namespace lzh {

// Package-merge: the list at the deepest level holds the leaves sorted by
// frequency; each level above merges the leaves with the pairs ("packages")
// of the list below.  Taking the 2n - 2 cheapest items of the top list and,
// level by level downwards, the items that the chosen packages were made
// of, gives each leaf one bit of length per level it is chosen at.  Since
// every list is sorted, the chosen items are always a prefix, and the
// chosen leaves of a level are the cheapest ones.
unsigned BuildCodeLengths(const uint32_t* frequencies, unsigned count, unsigned maxLength, uint8_t* lengths,
                          CodeLengthWork& work) {
    unsigned n = 0;
    for (unsigned s = 0; s < count; s++) {
        lengths[s] = 0;
        if (frequencies[s] != 0) work.leaves[n++] = {frequencies[s], static_cast<uint16_t>(s)};
    }
    if (n < 2) return n;
    if (n == 2) {
        lengths[work.leaves[0].symbol] = lengths[work.leaves[1].symbol] = 1;
        return n;
    }
    // Ties go by symbol, so that the same input gives the same code.
    std::sort(work.leaves, work.leaves + n, [](const CodeLengthWork::Leaf& a, const CodeLengthWork::Leaf& b) {
        return a.frequency != b.frequency ? a.frequency < b.frequency : a.symbol < b.symbol;
    });

    // Level maxLength - 1 (the deepest) holds the leaves alone.
    uint64_t* below = work.weights[0];
    uint64_t* merged = work.weights[1];
    unsigned belowSize = n;
    for (unsigned i = 0; i < n; i++) {
        below[i] = work.leaves[i].frequency;
        work.isLeaf[maxLength - 1][i] = 1;
    }
    for (int level = static_cast<int>(maxLength) - 2; level >= 0; level--) {
        const unsigned packages = belowSize / 2;
        unsigned leaf = 0, package = 0, size = 0;
        while (leaf < n || package < packages) {
            const uint64_t pair = package < packages ? below[2 * package] + below[2 * package + 1] : 0;
            // A leaf goes first when it weighs no more than the next package.
            if (leaf < n && (package >= packages || work.leaves[leaf].frequency <= pair)) {
                merged[size] = work.leaves[leaf++].frequency;
                work.isLeaf[level][size++] = 1;
            } else {
                merged[size] = pair;
                work.isLeaf[level][size++] = 0;
                package++;
            }
        }
        std::swap(below, merged);
        belowSize = size;
    }

    unsigned take = 2 * n - 2;
    for (unsigned level = 0; level < maxLength && take > 0; level++) {
        unsigned leavesTaken = 0;
        for (unsigned i = 0; i < take; i++) leavesTaken += work.isLeaf[level][i];
        for (unsigned i = 0; i < leavesTaken; i++) lengths[work.leaves[i].symbol]++;
        take = 2 * (take - leavesTaken);
    }
    return n;
}

// With the symbols sorted by falling frequency, an optimal code gives them
// non-decreasing lengths (swapping two lengths leaves the length costs as
// they are), so a code is its count of symbols per length.  A step takes
// one symbol of length d to two of d + 1 and two of e to one of e - 1,
// which keeps the count and the code complete; the best step is taken
// until none gains.
bool FitCodeLengths(const uint32_t* frequencies, unsigned count, unsigned maxLength,
                    const uint32_t* lengthCost, uint8_t* lengths, CodeLengthWork& work) {
    unsigned n = 0;
    int perLength[kMaxCodeLength + 2] = {};
    for (unsigned s = 0; s < count; s++) {
        if (frequencies[s] == 0) continue;
        work.leaves[n++] = {frequencies[s], static_cast<uint16_t>(s)};
        perLength[lengths[s]]++;
    }
    std::sort(work.leaves, work.leaves + n, [](const CodeLengthWork::Leaf& a, const CodeLengthWork::Leaf& b) {
        return a.frequency != b.frequency ? a.frequency > b.frequency : a.symbol < b.symbol;
    });
    uint64_t* sum = work.weights[0];  // sum[i]: frequencies of the first i symbols
    sum[0] = 0;
    for (unsigned i = 0; i < n; i++) sum[i + 1] = sum[i] + work.leaves[i].frequency;
    const auto cost = [&](const int* k) {
        uint64_t bits = 0;
        unsigned first = 0;
        for (unsigned d = 1; d <= maxLength; d++) {
            const unsigned next = first + static_cast<unsigned>(k[d]);
            bits += d * (sum[next] - sum[first]) + static_cast<uint64_t>(k[d]) * lengthCost[d];
            first = next;
        }
        return bits;
    };

    bool changed = false;
    uint64_t best = cost(perLength);
    for (;;) {
        int bestSplit = 0, bestJoin = 0;
        for (unsigned d = 1; d < maxLength; d++) {
            if (perLength[d] == 0) continue;
            for (unsigned e = 2; e <= maxLength; e++) {
                if (e == d + 1) continue;
                int k[kMaxCodeLength + 2];
                std::copy(perLength, perLength + maxLength + 1, k);
                k[d]--;
                k[d + 1] += 2;
                k[e] -= 2;
                k[e - 1]++;
                if (k[e] < 0) continue;
                const uint64_t bits = cost(k);
                if (bits < best) {
                    best = bits;
                    bestSplit = static_cast<int>(d);
                    bestJoin = static_cast<int>(e);
                }
            }
        }
        if (bestSplit == 0) break;
        perLength[bestSplit]--;
        perLength[bestSplit + 1] += 2;
        perLength[bestJoin] -= 2;
        perLength[bestJoin - 1]++;
        changed = true;
    }
    if (!changed) return false;
    unsigned i = 0;
    for (unsigned d = 1; d <= maxLength; d++)
        for (int k = 0; k < perLength[d]; k++) lengths[work.leaves[i++].symbol] = static_cast<uint8_t>(d);
    return true;
}

void BuildCanonicalCodes(const uint8_t* lengths, unsigned count, uint16_t* codes) {
    unsigned perLength[kMaxCodeLength + 1] = {};
    for (unsigned s = 0; s < count; s++) perLength[lengths[s]]++;
    unsigned next[kMaxCodeLength + 2];
    next[1] = 0;
    for (unsigned len = 1; len <= kMaxCodeLength; len++) next[len + 1] = (next[len] + perLength[len]) << 1;
    for (unsigned s = 0; s < count; s++)
        codes[s] = lengths[s] != 0 ? static_cast<uint16_t>(next[lengths[s]]++) : 0;
}

}  // namespace lzh
