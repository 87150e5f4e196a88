#include "decode/adaptive_huffman.h"

#include <cstring>
#include <utility>

namespace lzh {
namespace {

constexpr uint16_t kMaxCharWeight = 0x8000;  // the character root is rescaled here
constexpr uint16_t kPinnedWeight = 0xFFFF;   // the position root once it has two leaves
constexpr uint32_t kDictionary2 = 1u << kMethodTable[kLh2].dictionaryBits;  // no position code beyond it

// -lh1- fixed position code: length 3, raised at these indices (3,4,4,4,5...).
constexpr uint8_t kLh1PositionRow[] = {1, 4, 12, 24, 48, 0};

}  // namespace

void AdaptiveHuffman::Start(MethodCode code) {
    adaptivePositions_ = code == kLh2;
    const int n = symbolCount_ = adaptivePositions_ ? 286 : 314;
    escapeSymbol_ = adaptivePositions_ ? 285 : 512;

    // The whole pool is reset, the position tree's nodes too.
    std::memset(&pool_, 0, sizeof pool_);
    for (int i = 0; i < kNodes; i++) spareBlocks_[i] = static_cast<int16_t>(i);

    // Leaves of weight 1, symbol 0 at node 2n - 2 up to symbol n - 1 at node n - 1.
    for (int s = 0; s < n; s++) {
        const int j = 2 * n - 2 - s;
        pool_.nodeWeight[j] = 1;
        pool_.nodeChild[j] = static_cast<int16_t>(~s);
        pool_.symbolLeaf[s] = static_cast<int16_t>(j);
        pool_.nodeBlock[j] = 1;
    }
    spareTop_ = 2;
    pool_.blockLeader[1] = static_cast<int16_t>(n - 1);
    // Internal nodes in heap order: node j has children 2j + 2 and 2j + 1.
    for (int i = 2 * n - 2, j = n - 2; j >= 0; j--, i -= 2) {
        pool_.nodeWeight[j] = static_cast<uint16_t>(pool_.nodeWeight[i] + pool_.nodeWeight[i - 1]);
        pool_.nodeChild[j] = static_cast<int16_t>(i);
        pool_.nodeParent[i] = pool_.nodeParent[i - 1] = static_cast<int16_t>(j);
        if (pool_.nodeWeight[j] == pool_.nodeWeight[j + 1])
            pool_.nodeBlock[j] = pool_.nodeBlock[j + 1];
        else
            pool_.nodeBlock[j] = spareBlocks_[spareTop_++];
        pool_.blockLeader[pool_.nodeBlock[j]] = static_cast<int16_t>(j);
    }

    if (!adaptivePositions_) {
        MakeFixedLengths(t_.ptLengths, 64, 3, kLh1PositionRow);
        t_.MakeTable(64, t_.ptLengths, HuffmanTables::kPtTableBits, t_.ptTable);
        return;
    }
    // -lh2-: the position tree starts as a single leaf for code 0.
    pool_.nodeBlock[kPositionRoot] = spareBlocks_[spareTop_++];
    pool_.blockLeader[pool_.nodeBlock[kPositionRoot]] = kPositionRoot;
    positionUpdates_ = 0;
    pool_.nodeWeight[kPositionRoot] = 1;
    pool_.nodeChild[kPositionRoot] = static_cast<int16_t>(~kPositionLeafBase);
    pool_.symbolLeaf[kPositionLeafBase] = kPositionRoot;
    lastPositionNode_ = kPositionRoot;
    nextGrowth_ = 64;
}

// Follows the stream's bits from the root to a leaf and returns its symbol.
int AdaptiveHuffman::Walk(int root) {
    int c = pool_.nodeChild[root];
    uint32_t window = bits_.Peek32();
    unsigned used = 0;
    // Every path ends in a leaf; the step limit only guards against a
    // damaged pool.
    for (int steps = 0; c > 0 && steps < kNodes; steps++) {
        if (used == 16) {
            bits_.FillBits(16);
            window = bits_.Peek32();
            used = 0;
        }
        const int bit = (window >> (31 - used)) & 1;
        used++;
        c = pool_.nodeChild[c - bit];
    }
    bits_.FillBits(used);
    return c < 0 ? ~c : 0;
}

uint16_t AdaptiveHuffman::DecodeChar() {
    int s = Walk(0);
    UpdateChar(s);
    if (s == escapeSymbol_) s += bits_.GetBits(8);
    return static_cast<uint16_t>(s);
}

uint16_t AdaptiveHuffman::DecodePosition(uint32_t produced) {
    int code;
    if (!adaptivePositions_) {
        // No fixed code is longer than 8 bits.
        const unsigned entry = t_.ptTable[bits_.Peek16() >> 8];
        code = static_cast<int>(HuffmanTables::SymbolOf(entry));
        bits_.FillBits(HuffmanTables::LengthOf(entry));
    } else {
        // Code k covers distances 64k .. 64k + 63 and joins the tree once
        // more than 64k bytes have been decoded.
        while (produced > nextGrowth_) {
            AddPositionLeaf(static_cast<int>(nextGrowth_ / 64));
            nextGrowth_ += 64;
            if (nextGrowth_ >= kDictionary2) nextGrowth_ = 0xFFFFFFFF;
        }
        code = Walk(kPositionRoot) - kPositionLeafBase;
        UpdatePosition(code);
    }
    return static_cast<uint16_t>((code << 6) + bits_.GetBits(6));
}

void AdaptiveHuffman::UpdateChar(int symbol) {
    if (pool_.nodeWeight[0] == kMaxCharWeight) Rescale(0, 2 * symbolCount_ - 1);
    pool_.nodeWeight[0]++;
    int q = pool_.symbolLeaf[symbol];
    do {
        q = Increment(q);
    } while (q != 0);
}

void AdaptiveHuffman::UpdatePosition(int code) {
    if (positionUpdates_ == kMaxCharWeight) {
        Rescale(kPositionRoot, lastPositionNode_ + 1);
        positionUpdates_ = pool_.nodeWeight[kPositionRoot];
        pool_.nodeWeight[kPositionRoot] = kPinnedWeight;
    }
    for (int q = pool_.symbolLeaf[kPositionLeafBase + code]; q != kPositionRoot;) q = Increment(q);
    positionUpdates_++;
}

// Points the children (or the symbol) of node back at it.
void AdaptiveHuffman::Relink(int node) {
    const int c = pool_.nodeChild[node];
    if (c >= 0)
        pool_.nodeParent[c] = pool_.nodeParent[c - 1] = static_cast<int16_t>(node);
    else
        pool_.symbolLeaf[~c] = static_cast<int16_t>(node);
}

// Adds 1 to the weight of node p, first moving p's subtree to the front of
// its block so that the order by weight holds.  Returns the parent.
int AdaptiveHuffman::Increment(int p) {
    const int b = pool_.nodeBlock[p];
    const int q = pool_.blockLeader[b];
    if (q != p) {
        std::swap(pool_.nodeChild[p], pool_.nodeChild[q]);
        Relink(q);
        Relink(p);
        p = q;
    } else if (pool_.nodeBlock[p + 1] != b) {
        // p is alone in its block: it keeps the block, or joins the next
        // heavier one and gives its own back.
        pool_.nodeWeight[p]++;
        if (pool_.nodeWeight[p] == pool_.nodeWeight[p - 1]) {
            spareBlocks_[--spareTop_] = static_cast<int16_t>(b);
            pool_.nodeBlock[p] = pool_.nodeBlock[p - 1];
        }
        return pool_.nodeParent[p];
    }
    // The leader leaves its block.
    pool_.blockLeader[b]++;
    pool_.nodeWeight[p]++;
    if (pool_.nodeWeight[p] == pool_.nodeWeight[p - 1]) {
        pool_.nodeBlock[p] = pool_.nodeBlock[p - 1];
    } else {
        pool_.nodeBlock[p] = spareBlocks_[spareTop_++];
        pool_.blockLeader[pool_.nodeBlock[p]] = static_cast<int16_t>(p);
    }
    return pool_.nodeParent[p];
}

// Halves the leaf weights of the nodes start .. end - 1 and rebuilds the tree
// over them.
void AdaptiveHuffman::Rescale(int start, int end) {
    int j = start;
    for (int i = start; i < end; i++) {
        if (pool_.blockLeader[pool_.nodeBlock[i]] == i) spareBlocks_[--spareTop_] = pool_.nodeBlock[i];
        if (pool_.nodeChild[i] < 0) {
            pool_.nodeWeight[j] = static_cast<uint16_t>((pool_.nodeWeight[i] + 1) / 2);
            pool_.nodeChild[j] = pool_.nodeChild[i];
            j++;
        }
    }
    j--;  // the last gathered leaf

    // Place leaves from the bottom and pair nodes into parents, keeping the
    // order by weight.
    for (int i = end - 1, l = end - 2; i >= start; i--, l -= 2) {
        while (i >= l && j >= start) {
            pool_.nodeWeight[i] = pool_.nodeWeight[j];
            pool_.nodeChild[i] = pool_.nodeChild[j];
            i--;
            j--;
        }
        if (i < start || l < start) break;
        const unsigned f = pool_.nodeWeight[l] + pool_.nodeWeight[l + 1];
        int k = start;
        while (k <= j && pool_.nodeWeight[k] > f) k++;
        while (j >= k) {
            pool_.nodeWeight[i] = pool_.nodeWeight[j];
            pool_.nodeChild[i] = pool_.nodeChild[j];
            i--;
            j--;
        }
        pool_.nodeWeight[i] = static_cast<uint16_t>(f);
        pool_.nodeChild[i] = static_cast<int16_t>(l + 1);
    }

    unsigned previousWeight = 0;
    int block = 0;
    for (int i = start; i < end; i++) {
        Relink(i);
        if (pool_.nodeWeight[i] != previousWeight) {
            block = spareBlocks_[spareTop_++];
            pool_.blockLeader[block] = static_cast<int16_t>(i);
            previousWeight = pool_.nodeWeight[i];
        }
        pool_.nodeBlock[i] = static_cast<int16_t>(block);
    }
}

// Splits the last position leaf p into an internal node whose 1-child r takes
// over p's leaf and whose 0-child q is the new leaf for `code`.
void AdaptiveHuffman::AddPositionLeaf(int code) {
    const int p = lastPositionNode_, r = p + 1, q = p + 2;
    pool_.nodeChild[r] = pool_.nodeChild[p];
    pool_.symbolLeaf[~pool_.nodeChild[r]] = static_cast<int16_t>(r);
    pool_.nodeWeight[r] = pool_.nodeWeight[p];
    pool_.nodeBlock[r] = pool_.nodeBlock[p];

    pool_.nodeChild[q] = static_cast<int16_t>(~(code + kPositionLeafBase));
    pool_.nodeWeight[q] = 0;
    pool_.nodeChild[p] = static_cast<int16_t>(q);
    if (p == kPositionRoot) {
        pool_.nodeWeight[kPositionRoot] = kPinnedWeight;
        pool_.blockLeader[pool_.nodeBlock[kPositionRoot]]++;  // r takes over the root's block
    }
    pool_.nodeParent[r] = pool_.nodeParent[q] = static_cast<int16_t>(p);
    pool_.nodeBlock[q] = spareBlocks_[spareTop_++];
    pool_.blockLeader[pool_.nodeBlock[q]] = static_cast<int16_t>(q);
    pool_.symbolLeaf[kPositionLeafBase + code] = static_cast<int16_t>(q);
    lastPositionNode_ = q;
    UpdatePosition(code);
}

}  // namespace lzh
