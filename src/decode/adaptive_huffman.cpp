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
    std::memset(nodeWeight_, 0, sizeof nodeWeight_);
    std::memset(nodeChild_, 0, sizeof nodeChild_);
    std::memset(nodeParent_, 0, sizeof nodeParent_);
    std::memset(nodeBlock_, 0, sizeof nodeBlock_);
    std::memset(blockLeader_, 0, sizeof blockLeader_);
    std::memset(symbolLeaf_, 0, sizeof symbolLeaf_);
    for (int i = 0; i < kNodes; i++) spareBlocks_[i] = static_cast<int16_t>(i);

    // Leaves of weight 1, symbol 0 at node 2n - 2 up to symbol n - 1 at node n - 1.
    for (int s = 0; s < n; s++) {
        const int j = 2 * n - 2 - s;
        nodeWeight_[j] = 1;
        nodeChild_[j] = static_cast<int16_t>(~s);
        symbolLeaf_[s] = static_cast<int16_t>(j);
        nodeBlock_[j] = 1;
    }
    spareTop_ = 2;
    blockLeader_[1] = static_cast<int16_t>(n - 1);
    // Internal nodes in heap order: node j has children 2j + 2 and 2j + 1.
    for (int i = 2 * n - 2, j = n - 2; j >= 0; j--, i -= 2) {
        nodeWeight_[j] = static_cast<uint16_t>(nodeWeight_[i] + nodeWeight_[i - 1]);
        nodeChild_[j] = static_cast<int16_t>(i);
        nodeParent_[i] = nodeParent_[i - 1] = static_cast<int16_t>(j);
        if (nodeWeight_[j] == nodeWeight_[j + 1])
            nodeBlock_[j] = nodeBlock_[j + 1];
        else
            nodeBlock_[j] = spareBlocks_[spareTop_++];
        blockLeader_[nodeBlock_[j]] = static_cast<int16_t>(j);
    }

    if (!adaptivePositions_) {
        MakeFixedLengths(t_.ptLengths, 64, 3, kLh1PositionRow);
        t_.MakeTable(64, t_.ptLengths, HuffmanTables::kPtTableBits, t_.ptTable);
        return;
    }
    // -lh2-: the position tree starts as a single leaf for code 0.
    nodeBlock_[kPositionRoot] = spareBlocks_[spareTop_++];
    blockLeader_[nodeBlock_[kPositionRoot]] = kPositionRoot;
    positionUpdates_ = 0;
    nodeWeight_[kPositionRoot] = 1;
    nodeChild_[kPositionRoot] = static_cast<int16_t>(~kPositionLeafBase);
    symbolLeaf_[kPositionLeafBase] = kPositionRoot;
    lastPositionNode_ = kPositionRoot;
    nextGrowth_ = 64;
}

// Follows the stream's bits from the root to a leaf and returns its symbol.
int AdaptiveHuffman::Walk(int root) {
    int c = nodeChild_[root];
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
        c = nodeChild_[c - bit];
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
    if (nodeWeight_[0] == kMaxCharWeight) Rescale(0, 2 * symbolCount_ - 1);
    nodeWeight_[0]++;
    int q = symbolLeaf_[symbol];
    do {
        q = Increment(q);
    } while (q != 0);
}

void AdaptiveHuffman::UpdatePosition(int code) {
    if (positionUpdates_ == kMaxCharWeight) {
        Rescale(kPositionRoot, lastPositionNode_ + 1);
        positionUpdates_ = nodeWeight_[kPositionRoot];
        nodeWeight_[kPositionRoot] = kPinnedWeight;
    }
    for (int q = symbolLeaf_[kPositionLeafBase + code]; q != kPositionRoot;) q = Increment(q);
    positionUpdates_++;
}

// Points the children (or the symbol) of node back at it.
void AdaptiveHuffman::Relink(int node) {
    const int c = nodeChild_[node];
    if (c >= 0)
        nodeParent_[c] = nodeParent_[c - 1] = static_cast<int16_t>(node);
    else
        symbolLeaf_[~c] = static_cast<int16_t>(node);
}

// Adds 1 to the weight of node p, first moving p's subtree to the front of
// its block so that the order by weight holds.  Returns the parent.
int AdaptiveHuffman::Increment(int p) {
    const int b = nodeBlock_[p];
    const int q = blockLeader_[b];
    if (q != p) {
        std::swap(nodeChild_[p], nodeChild_[q]);
        Relink(q);
        Relink(p);
        p = q;
    } else if (nodeBlock_[p + 1] != b) {
        // p is alone in its block: it keeps the block, or joins the next
        // heavier one and gives its own back.
        nodeWeight_[p]++;
        if (nodeWeight_[p] == nodeWeight_[p - 1]) {
            spareBlocks_[--spareTop_] = static_cast<int16_t>(b);
            nodeBlock_[p] = nodeBlock_[p - 1];
        }
        return nodeParent_[p];
    }
    // The leader leaves its block.
    blockLeader_[b]++;
    nodeWeight_[p]++;
    if (nodeWeight_[p] == nodeWeight_[p - 1]) {
        nodeBlock_[p] = nodeBlock_[p - 1];
    } else {
        nodeBlock_[p] = spareBlocks_[spareTop_++];
        blockLeader_[nodeBlock_[p]] = static_cast<int16_t>(p);
    }
    return nodeParent_[p];
}

// Halves the leaf weights of the nodes start .. end - 1 and rebuilds the tree
// over them.
void AdaptiveHuffman::Rescale(int start, int end) {
    int j = start;
    for (int i = start; i < end; i++) {
        if (blockLeader_[nodeBlock_[i]] == i) spareBlocks_[--spareTop_] = nodeBlock_[i];
        if (nodeChild_[i] < 0) {
            nodeWeight_[j] = static_cast<uint16_t>((nodeWeight_[i] + 1) / 2);
            nodeChild_[j] = nodeChild_[i];
            j++;
        }
    }
    j--;  // the last gathered leaf

    // Place leaves from the bottom and pair nodes into parents, keeping the
    // order by weight.
    for (int i = end - 1, l = end - 2; i >= start; i--, l -= 2) {
        while (i >= l && j >= start) {
            nodeWeight_[i] = nodeWeight_[j];
            nodeChild_[i] = nodeChild_[j];
            i--;
            j--;
        }
        if (i < start || l < start) break;
        const unsigned f = nodeWeight_[l] + nodeWeight_[l + 1];
        int k = start;
        while (k <= j && nodeWeight_[k] > f) k++;
        while (j >= k) {
            nodeWeight_[i] = nodeWeight_[j];
            nodeChild_[i] = nodeChild_[j];
            i--;
            j--;
        }
        nodeWeight_[i] = static_cast<uint16_t>(f);
        nodeChild_[i] = static_cast<int16_t>(l + 1);
    }

    unsigned previousWeight = 0;
    int block = 0;
    for (int i = start; i < end; i++) {
        Relink(i);
        if (nodeWeight_[i] != previousWeight) {
            block = spareBlocks_[spareTop_++];
            blockLeader_[block] = static_cast<int16_t>(i);
            previousWeight = nodeWeight_[i];
        }
        nodeBlock_[i] = static_cast<int16_t>(block);
    }
}

// Splits the last position leaf p into an internal node whose 1-child r takes
// over p's leaf and whose 0-child q is the new leaf for `code`.
void AdaptiveHuffman::AddPositionLeaf(int code) {
    const int p = lastPositionNode_, r = p + 1, q = p + 2;
    nodeChild_[r] = nodeChild_[p];
    symbolLeaf_[~nodeChild_[r]] = static_cast<int16_t>(r);
    nodeWeight_[r] = nodeWeight_[p];
    nodeBlock_[r] = nodeBlock_[p];

    nodeChild_[q] = static_cast<int16_t>(~(code + kPositionLeafBase));
    nodeWeight_[q] = 0;
    nodeChild_[p] = static_cast<int16_t>(q);
    if (p == kPositionRoot) {
        nodeWeight_[kPositionRoot] = kPinnedWeight;
        blockLeader_[nodeBlock_[kPositionRoot]]++;  // r takes over the root's block
    }
    nodeParent_[r] = nodeParent_[q] = static_cast<int16_t>(p);
    nodeBlock_[q] = spareBlocks_[spareTop_++];
    blockLeader_[nodeBlock_[q]] = static_cast<int16_t>(q);
    symbolLeaf_[kPositionLeafBase + code] = static_cast<int16_t>(q);
    lastPositionNode_ = q;
    UpdatePosition(code);
}

}  // namespace lzh
