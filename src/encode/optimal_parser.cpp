// The best level: each chunk of input is parsed as the cheapest path from
// its first byte to its last, where every step is a literal or one of the
// matches found at that position (each match also offers every shorter
// length), priced with a bit-cost model.
//
// The segment is parsed twice.  In the first parse, a chunk's first pass
// prices with the model of the previous chunk (or of a greedy parse, for
// an entry's first chunk) and later passes with the statistics of the pass
// before; the cheapest pass, measured as the blocks it would make, is
// kept, and the splitter plans where blocks end.  A chunk's statistics are
// those of a few thousand symbols, not of the block they end up in, so
// the second parse prices each position with the statistics of the
// planned block it lies in, and its blocks are the ones written.
#include <cstring>

#include "encode/fixed_log2.h"
#include "encode/segment_encoder.h"

namespace lzh {
namespace {

constexpr unsigned kPasses = 3;
// Block ends are placed at multiples of 128 symbols, each one checked
// against the exact sizes.
constexpr BlockSplitter::Settings kBlocks = {128, 16, true};
constexpr unsigned kTreeDepth = 96;
constexpr unsigned kNiceLength = kMaxMatch;

// Costs are in sixteenths of a bit.
constexpr uint32_t kCostScale = 16;
constexpr uint32_t kUnreached = 0xFFFFFFFF;

// from_ packs a step: its length (1 for a literal) and its distance.
constexpr unsigned kStepLengthBits = 9;
constexpr uint32_t kStepLengthMask = (1u << kStepLengthBits) - 1;

// -log2 of a symbol's share, in cost units (rounded), from log2 of the
// total (Log2Fixed).  A symbol not seen is priced at half an occurrence,
// rarer than any seen; no code is shorter than one bit.
uint16_t SymbolCost(uint32_t frequency, uint32_t log2Total) {
    constexpr uint32_t kOneBit = 1u << kLog2FractionBits;
    constexpr uint32_t kUnit = kOneBit / kCostScale;
    const uint32_t bits = frequency != 0 ? log2Total - Log2Fixed(frequency) : log2Total + kOneBit;
    return static_cast<uint16_t>(((bits < kOneBit ? kOneBit : bits) + kUnit / 2) / kUnit);
}

}  // namespace

void SegmentEncoder::ParseOptimal() {
    planning_ = true;
    blockModelCount_ = 0;
    plannedEnd_ = start_;
    ParseSegmentOptimal();
    planning_ = false;
    repricing_ = true;
    pendingCount_ = 0;
    ParseSegmentOptimal();
    repricing_ = false;
}

void SegmentEncoder::ParseSegmentOptimal() {
    tree_.Start(dictionary_, kTreeDepth, kNiceLength);
    // The history goes into the tree, so that matches reach back into it.
    const uint32_t first = start_ > dictionary_ ? start_ - dictionary_ : 0;
    for (uint32_t k = first; k < start_; k++) tree_.Skip(buffer_, k, end_ - k);
    haveModel_ = false;
    int best = 0;
    for (uint32_t pos = start_; pos < end_;) {
        const uint32_t left = end_ - pos;
        const uint32_t count = left < kOptimalChunk ? left : kOptimalChunk;

        FindChunkMatches(pos, count);
        if (repricing_) {
            best = 0;
            const unsigned n = ParseChunk(pos, count, parseSymbols_[0], parsePositions_[0]);
            std::memcpy(pendingSymbols_ + pendingCount_, parseSymbols_[0], n * sizeof(uint16_t));
            std::memcpy(pendingPositions_ + pendingCount_, parsePositions_[0], n * sizeof(uint16_t));
            pendingCount_ += n;
        } else {
            if (!haveModel_) GreedyModel(pos, count);
            uint64_t bestBits = ~uint64_t{0};
            unsigned bestCount = 0;
            for (unsigned pass = 0; pass < kPasses; pass++) {
                const int trial = 1 - best;
                const unsigned n = ParseChunk(pos, count, parseSymbols_[trial], parsePositions_[trial]);
                const uint64_t bits = MeasureChunk(parseSymbols_[trial], parsePositions_[trial], n);
                if (bits < bestBits) {
                    bestBits = bits;
                    bestCount = n;
                    best = trial;
                }
                ModelFrom(parseSymbols_[trial], parsePositions_[trial], n, model_);
            }
            // The next chunk starts from the statistics of the parse kept.
            ModelFrom(parseSymbols_[best], parsePositions_[best], bestCount, model_);
            haveModel_ = true;
            std::memcpy(pendingSymbols_ + pendingCount_, parseSymbols_[best], bestCount * sizeof(uint16_t));
            std::memcpy(pendingPositions_ + pendingCount_, parsePositions_[best], bestCount * sizeof(uint16_t));
            pendingCount_ += bestCount;
        }
        if (pendingCount_ > BlockSplitter::kMaxSymbols - kOptimalChunk) EmitPending(false, kBlocks);
        pos += count;
    }
    EmitPending(true, kBlocks);
}

// Records the matches at every position of the chunk (cut at its end).  A
// match as long as the tree compares is taken as it is: the positions it
// covers are only inserted, which keeps long runs linear.
void SegmentEncoder::FindChunkMatches(uint32_t start, uint32_t count) {
    const uint8_t* data = buffer_;
    const uint32_t end = end_;
    Match found[kMaxMatch];
    uint32_t used = 0;
    for (uint32_t i = 0; i < count;) {
        pairStart_[i] = used;
        const uint32_t pos = start + i;
        const uint32_t available = end - pos;
        if (available < kMinMatch) {
            i++;
            continue;
        }
        const unsigned n = tree_.Find(data, pos, available, found);
        const uint32_t room = count - i;  // the chunk's end cuts matches
        const bool keepAll = used + n <= kOptimalPairs;
        unsigned longest = 0;
        for (unsigned k = keepAll ? 0 : (n > 0 ? n - 1 : 0); k < n; k++) {
            const unsigned len = found[k].length < room ? found[k].length : room;
            if (len <= longest || len < kMinMatch) continue;
            pairs_[used++] = Match{static_cast<uint16_t>(len), found[k].distance};
            longest = len;
        }
        if (n > 0 && found[n - 1].length >= tree_.nice() && longest > 1) {
            for (uint32_t k = 1; k < longest; k++) {
                pairStart_[i + k] = used;
                if (end - (pos + k) >= kMinMatch) tree_.Skip(data, pos + k, end - (pos + k));
            }
            i += longest;
        } else {
            i++;
        }
    }
    pairStart_[count] = used;
}

// A first model for an entry: the statistics of taking the longest match
// at every position.
void SegmentEncoder::GreedyModel(uint32_t start, uint32_t count) {
    uint16_t* symbols = parseSymbols_[0];
    uint16_t* positions = parsePositions_[0];
    unsigned n = 0;
    for (uint32_t i = 0; i < count;) {
        if (pairStart_[i + 1] > pairStart_[i]) {
            const Match& m = pairs_[pairStart_[i + 1] - 1];
            symbols[n] = static_cast<uint16_t>(m.length + kMatchBias);
            positions[n++] = static_cast<uint16_t>(m.distance - 1);
            i += m.length;
        } else {
            symbols[n] = buffer_[start + i];
            positions[n++] = 0;
            i++;
        }
    }
    ModelFrom(symbols, positions, n, model_);
}

// Keeps the model of a planned block, and where it ends in the input.
void SegmentEncoder::KeepBlockModel(const uint16_t* symbols, const uint16_t* positions, unsigned count) {
    for (unsigned i = 0; i < count; i++) plannedEnd_ += symbols[i] < 256 ? 1 : symbols[i] - kMatchBias;
    if (blockModelCount_ == kMaxBlockModels) {
        blockModelEnds_[kMaxBlockModels - 1] = plannedEnd_;
        return;
    }
    ModelFrom(symbols, positions, count, blockModels_[blockModelCount_]);
    blockModelEnds_[blockModelCount_++] = plannedEnd_;
}

void SegmentEncoder::ModelFrom(const uint16_t* symbols, const uint16_t* positions, unsigned count,
                               CostModel& model) const {
    uint32_t chars[kCharSymbols] = {};
    uint32_t codes[kMaxPositionCodes] = {};
    uint32_t matches = 0;
    for (unsigned i = 0; i < count; i++) {
        chars[symbols[i]]++;
        if (symbols[i] >= 256) {
            codes[PositionCode(positions[i])]++;
            matches++;
        }
    }
    const uint32_t log2Count = Log2Fixed(count), log2Matches = Log2Fixed(matches);
    for (unsigned c = 0; c < 256; c++) model.literal[c] = SymbolCost(chars[c], log2Count);
    for (unsigned len = kMinMatch; len <= kMaxMatch; len++)
        model.length[len] = SymbolCost(chars[len + kMatchBias], log2Count);
    for (unsigned j = 0; j < positionCodes_; j++)
        model.position[j] = (matches != 0 ? SymbolCost(codes[j], log2Matches) : 4 * kCostScale) +
                             PositionExtraBits(j) * kCostScale;
}

// The cheapest parse of the chunk, written to symbols and positions;
// returns the number of symbols.  Steps are priced with model_, or while
// repricing with the model of the planned block where they start.
unsigned SegmentEncoder::ParseChunk(uint32_t start, uint32_t count, uint16_t* symbols, uint16_t* positions) {
    const uint8_t* data = buffer_ + start;
    const CostModel* model = &model_;
    unsigned block = 0;
    uint32_t blockEnd = end_;
    if (repricing_) {
        while (block + 1 < blockModelCount_ && blockModelEnds_[block] <= start) block++;
        model = &blockModels_[block];
        blockEnd = blockModelEnds_[block];
    }
    price_[0] = 0;
    for (uint32_t i = 1; i <= count; i++) price_[i] = kUnreached;
    for (uint32_t i = 0; i < count; i++) {
        if (start + i >= blockEnd && block + 1 < blockModelCount_) {
            model = &blockModels_[++block];
            blockEnd = blockModelEnds_[block];
        }
        const CostModel& m = *model;
        const uint32_t base = price_[i];
        const uint32_t literal = base + m.literal[data[i]];
        if (literal < price_[i + 1]) {
            price_[i + 1] = literal;
            from_[i + 1] = 1;
        }
        unsigned len = kMinMatch;
        for (uint32_t k = pairStart_[i]; k < pairStart_[i + 1]; k++) {
            const Match match = pairs_[k];
            const uint32_t withPosition = base + m.position[PositionCode(match.distance - 1u)];
            const uint32_t step = static_cast<uint32_t>(match.distance) << kStepLengthBits;
            for (; len <= match.length; len++) {
                const uint32_t cost = withPosition + m.length[len];
                if (cost < price_[i + len]) {
                    price_[i + len] = cost;
                    from_[i + len] = step | len;
                }
            }
        }
    }
    // Walk back from the end, filling the symbols from the back.
    uint32_t n = count;
    for (uint32_t i = count; i > 0;) {
        const uint32_t step = from_[i];
        const unsigned len = step & kStepLengthMask;
        n--;
        if (len == 1) {
            symbols[n] = data[i - 1];
            positions[n] = 0;
        } else {
            symbols[n] = static_cast<uint16_t>(len + kMatchBias);
            positions[n] = static_cast<uint16_t>((step >> kStepLengthBits) - 1);
        }
        i -= len;
    }
    const unsigned symbolsUsed = count - n;
    std::memmove(symbols, symbols + n, symbolsUsed * sizeof *symbols);
    std::memmove(positions, positions + n, symbolsUsed * sizeof *positions);
    return symbolsUsed;
}

// The chunk is cut into as few blocks of equal symbol counts as the block
// header's count allows.
uint64_t SegmentEncoder::MeasureChunk(const uint16_t* symbols, const uint16_t* positions, unsigned count) {
    const unsigned blocks = (count + kMaxBlockSymbols - 1) / kMaxBlockSymbols;
    uint64_t bits = 0;
    for (unsigned b = 0, at = 0; b < blocks; b++) {
        const unsigned next = static_cast<unsigned>(static_cast<uint64_t>(count) * (b + 1) / blocks);
        bits += blockWriter_.Plan(symbols + at, positions + at, next - at);
        at = next;
    }
    return bits;
}

}  // namespace lzh
