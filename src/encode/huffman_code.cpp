#include "encode/huffman_code.h"

#include <algorithm>

namespace lzh {
namespace {

// Huffman's construction over the n (> 2) leaves sorted by rising
// frequency: the joined nodes come out in order of weight, so the two
// lightest items are always at the front of the leaves or of the nodes,
// and a leaf goes first when it weighs no more than the node.  Sets the
// leaves' lengths and returns true, or false when the code would be deeper
// than maxLength.
bool HuffmanLengths(unsigned n, unsigned maxLength, uint8_t* lengths, CodeLengthWork& work) {
    uint64_t* weight = work.weights[0];  // of the joined nodes
    uint16_t* parent = work.parent;      // leaves 0..n-1, then the nodes
    uint8_t* depth = work.depth;
    unsigned leaf = 0, next = 0, made = 0;
    const auto take = [&]() -> unsigned {
        if (leaf < n && (next == made || work.leaves[leaf].frequency <= weight[next])) return leaf++;
        return n + next++;
    };
    const auto weightOf = [&](unsigned item) -> uint64_t {
        return item < n ? work.leaves[item].frequency : weight[item - n];
    };
    for (; made < n - 1; made++) {
        const unsigned a = take();
        const unsigned b = take();
        weight[made] = weightOf(a) + weightOf(b);
        parent[a] = parent[b] = static_cast<uint16_t>(n + made);
    }
    // Depths from the root (the last node) down: a node's parent was made after it.
    const unsigned root = 2 * n - 2;
    depth[root] = 0;
    unsigned deepest = 0;
    for (unsigned item = root; item-- > 0;) {
        const unsigned d = depth[parent[item]] + 1u;
        depth[item] = static_cast<uint8_t>(d > 255 ? 255 : d);
        if (d > deepest) deepest = d;
    }
    if (deepest > maxLength) return false;
    for (unsigned i = 0; i < n; i++) lengths[work.leaves[i].symbol] = depth[i];
    return true;
}

// Package-merge: the list at the deepest level holds the leaves sorted by
// frequency; each level above merges the leaves with the pairs ("packages")
// of the list below.  Taking the 2n - 2 cheapest items of the top list and,
// level by level downwards, the items that the chosen packages were made
// of, gives each leaf one bit of length per level it is chosen at.  Since
// every list is sorted, the chosen items are always a prefix, and the
// chosen leaves of a level are the cheapest ones.
void PackageMerge(unsigned n, unsigned maxLength, uint8_t* lengths, CodeLengthWork& work) {
    for (unsigned i = 0; i < n; i++) lengths[work.leaves[i].symbol] = 0;
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
}

}  // namespace

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
    if (!HuffmanLengths(n, maxLength, lengths, work)) PackageMerge(n, maxLength, lengths, work);
    return n;
}

// With the symbols sorted by falling frequency, an optimal code gives them
// non-decreasing lengths (swapping two lengths leaves the length costs as
// they are), so a code is its count of symbols per length.  A step takes
// one symbol of length d to two of d + 1 and two of e to one of e - 1,
// which keeps the count and the code complete; the best step is taken
// until none gains.
//
// With C[j] the symbols of length j or less and S(i) the frequencies of
// the first i symbols, the symbols' bits are maxLength * S(n) less the
// sum of S(C[j]) for j below maxLength.  A step moves C[d] and C[e - 1]
// and the boundaries between them by one or two symbols, so its gain is
// a few frequencies and a difference of running sums: every step is
// weighed in constant time.
void OrderForFit(const uint32_t* frequencies, unsigned count, FitOrder& order, CodeLengthWork& work) {
    unsigned n = 0;
    for (unsigned s = 0; s < count; s++)
        if (frequencies[s] != 0) work.leaves[n++] = {frequencies[s], static_cast<uint16_t>(s)};
    std::sort(work.leaves, work.leaves + n, [](const CodeLengthWork::Leaf& a, const CodeLengthWork::Leaf& b) {
        return a.frequency != b.frequency ? a.frequency > b.frequency : a.symbol < b.symbol;
    });
    order.count = n;
    order.sum[0] = 0;
    for (unsigned i = 0; i < n; i++) {
        order.symbols[i] = work.leaves[i].symbol;
        order.sum[i + 1] = order.sum[i] + work.leaves[i].frequency;
    }
}

bool FitCodeLengths(const FitOrder& order, unsigned maxLength, const uint32_t* lengthCost, uint8_t* lengths) {
    const unsigned n = order.count;
    int perLength[kMaxCodeLength + 2] = {};
    for (unsigned i = 0; i < n; i++) perLength[lengths[order.symbols[i]]]++;
    const auto S = [&](unsigned i) { return static_cast<int64_t>(order.sum[i]); };

    bool changed = false;
    for (;;) {
        // C[j], and over j = 1.. the running sums of the frequency of the
        // symbol just after boundary j (up) and just before it (down).
        unsigned C[kMaxCodeLength + 1];
        int64_t up[kMaxCodeLength + 1], down[kMaxCodeLength + 1];
        C[0] = 0;
        up[0] = down[0] = 0;
        for (unsigned j = 1; j <= maxLength; j++) {
            C[j] = C[j - 1] + static_cast<unsigned>(perLength[j]);
            up[j] = up[j - 1] + (C[j] < n ? S(C[j] + 1) - S(C[j]) : 0);
            down[j] = down[j - 1] + (C[j] > 0 ? S(C[j]) - S(C[j] - 1) : 0);
        }
        int64_t bestGain = 0;
        int bestSplit = 0, bestJoin = 0;
        for (unsigned d = 1; d < maxLength; d++) {
            if (perLength[d] == 0) continue;
            for (unsigned e = 2; e <= maxLength; e++) {
                if (e == d + 1 || perLength[e] < (e == d ? 3 : 2)) continue;
                int64_t bits;
                if (e > d) {
                    // C[d] one less, C[d + 1 .. e - 2] one more, C[e - 1] two more.
                    bits = (S(C[d]) - S(C[d] - 1)) - (up[e - 2] - up[d]) - (S(C[e - 1] + 2) - S(C[e - 1]));
                } else {
                    // C[e - 1] one more, C[e .. d - 1] one less, C[d] two less.
                    bits = -(S(C[e - 1] + 1) - S(C[e - 1])) + (down[d - 1] - down[e - 1]) + (S(C[d]) - S(C[d] - 2));
                }
                bits += -static_cast<int64_t>(lengthCost[d]) + 2 * static_cast<int64_t>(lengthCost[d + 1]) -
                        2 * static_cast<int64_t>(lengthCost[e]) + lengthCost[e - 1];
                if (bits < bestGain) {
                    bestGain = bits;
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
        for (int k = 0; k < perLength[d]; k++) lengths[order.symbols[i++]] = static_cast<uint8_t>(d);
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
