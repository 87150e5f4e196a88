// -lh1- and -lh2-: character/length symbols coded with an adaptive Huffman
// tree that changes after every symbol.  -lh1- codes the upper 6 bits of a
// position with a fixed code; -lh2- with a second adaptive tree that gains a
// leaf for every further 64 bytes of output.
#pragma once

#include <cstdint>

#include "decode/bit_input.h"
#include "decode/huffman_table.h"
#include "archive/lha_format.h"

namespace lzh {

class AdaptiveHuffman {
public:
    AdaptiveHuffman(BitInput& bits, HuffmanTables& tables) : bits_(bits), t_(tables) {}

    // Per-entry set-up for kLh1 or kLh2; the frame has started the bit input.
    void Start(MethodCode code);

    // A literal 0..255 or a length symbol (length = symbol - 253).
    uint16_t DecodeChar();

    // The distance d (the match starts d + 1 bytes back).  produced is the
    // number of bytes decoded before the current match; -lh2- grows its
    // position tree from it.
    uint16_t DecodePosition(uint32_t produced);

private:
    static constexpr int kNodes = 884;  // 628 character nodes + 256 position nodes
    static constexpr int kPositionRoot = 628;
    static constexpr int kPositionLeafBase = 314;  // symbolLeaf index of position code 0

    int Walk(int root);
    void UpdateChar(int symbol);
    void UpdatePosition(int code);
    int Increment(int node);
    void Relink(int node);
    void Rescale(int start, int end);
    void AddPositionLeaf(int code);

    BitInput& bits_;
    HuffmanTables& t_;

    // Node pool.  Within a tree node i never weighs less than node i + 1; a
    // block is a run of equal weights led by its lowest-numbered node.  An
    // entry starts from a pool of zeros.
    struct Pool {
        uint16_t nodeWeight[kNodes];
        int16_t nodeChild[kNodes];  // internal: 0-child c, 1-child c - 1; leaf: ~symbol
        int16_t nodeParent[kNodes];
        int16_t nodeBlock[kNodes];
        int16_t blockLeader[kNodes];
        int16_t symbolLeaf[kPositionLeafBase + 128];
    } pool_;
    int16_t spareBlocks_[kNodes];  // stack of free block ids; below spareTop_ in use
    int spareTop_ = 0;

    int symbolCount_ = 314;
    int escapeSymbol_ = 512;
    bool adaptivePositions_ = false;  // -lh2-
    int lastPositionNode_ = kPositionRoot;
    uint16_t positionUpdates_ = 0;
    uint32_t nextGrowth_ = 64;
};

}  // namespace lzh
