// The default level: one match search per position over hash chains, and
// lazy matching over two positions: a match is coded only if neither the
// next position nor (behind a short match) the one after it starts a match
// worth more.  Matches are weighed with a bit-cost model of the recent
// symbols (refreshed as the parse goes on): what its bytes are worth less
// what it costs, and a later match also pays for the literals before it.
#include "encode/segment_encoder.h"

namespace lzh {
namespace {

struct LazySettings {
    unsigned depth;       // chain positions looked at per search
    unsigned aheadDepth;  // the same for the positions ahead of a pending match
    unsigned good;        // behind a pending match this long, goodDepth instead
    unsigned goodDepth;
    unsigned lazy;        // a match this long is taken without looking further
    unsigned nice;        // a match this long ends the search
    unsigned twoAhead;    // only a pending match shorter than this looks two positions ahead
    unsigned linkedEnds;  // a match longer than twice this links only so many positions at each end
    BlockSplitter::Settings blocks;
};

constexpr LazySettings kLazy = {48, 16, 16, 6, 64, 256, 5, 32, {128, 4, false}};

// The model is refreshed every kModelStep symbols from the last
// kModelWindow symbols; costs are in sixteenths of a bit.
constexpr unsigned kModelStep = 16384;
constexpr unsigned kModelWindow = 16384;
constexpr uint32_t kCostScale = 16;
// What a byte that a match covers is worth: what it would cost coded
// otherwise, in the main a share of a match or a literal (fitted on the
// bench input: 4 and 6 bits pack a little worse).
constexpr int64_t kByteValue = 5 * kCostScale;

}  // namespace

// A match's cost in the model.
uint32_t SegmentEncoder::MatchCost(unsigned length, uint32_t distance) const {
    return model_.length[length] + model_.position[PositionCode(distance - 1)];
}

// A flat model for a segment's start: literals at 8 bits, lengths at 4 to
// 8 bits, positions at 4 bits with their extra bits.
void SegmentEncoder::FlatModel() {
    for (unsigned c = 0; c < 256; c++) model_.literal[c] = 8 * kCostScale;
    for (unsigned len = kMinMatch; len <= kMaxMatch; len++)
        model_.length[len] = (len < 8 ? 4 : 8) * kCostScale;
    for (unsigned j = 0; j < positionCodes_; j++) model_.position[j] = (4 + PositionExtraBits(j)) * kCostScale;
}

void SegmentEncoder::ParseLazy() {
    const LazySettings& s = kLazy;
    chain_.Start(dictionary_);
    const uint8_t* data = buffer_;
    uint16_t* symbols = pendingSymbols_;
    uint16_t* positions = pendingPositions_;
    unsigned& count = pendingCount_;
    const uint32_t end = end_;

    // The history is linked in, so that matches reach back into it.
    const uint32_t first = start_ > dictionary_ ? start_ - dictionary_ : 0;
    for (uint32_t k = first; k < start_; k++) chain_.Insert(data, k);
    uint32_t linked = start_;  // positions before this one are in the chains

    // The longest match at pos longer than `longer`, the nearest of that
    // length; links pos.  Length 0: none.
    const auto search = [&](uint32_t pos, unsigned longer, unsigned depth, uint32_t* distance) -> unsigned {
        chain_.Insert(data, pos);
        linked = pos + 1;
        const uint32_t available = end - pos;
        const unsigned limit = available < kMaxMatch ? available : kMaxMatch;
        return chain_.Longest(data, pos, limit, longer, s.nice, depth, distance);
    };
    // What a match at pos saves, against coding its bytes at the going rate.
    const auto value = [&](unsigned length, uint32_t distance) -> int64_t {
        return static_cast<int64_t>(length) * kByteValue - MatchCost(length, distance);
    };
    const auto literal = [&](uint32_t pos) {
        symbols[count] = data[pos];
        positions[count++] = 0;
    };

    FlatModel();
    unsigned sinceModel = 0;
    uint32_t pos = start_;
    while (pos < end) {
        // Room for a match and two literals.
        if (count + 3 > BlockSplitter::kMaxSymbols) EmitPending(false, s.blocks);
        if (sinceModel >= kModelStep) {
            const unsigned window = count < kModelWindow ? count : kModelWindow;
            ModelFrom(symbols + count - window, positions + count - window, window, model_);
            sinceModel = 0;
        }
        uint32_t distance = 0;
        unsigned length = end - pos >= kMinMatch ? search(pos, kMinMatch - 1, s.depth, &distance) : 0;
        // A short match must cost less than its bytes as literals.
        if (length != 0 && length < 8) {
            uint32_t literals = 0;
            for (unsigned k = 0; k < length; k++) literals += model_.literal[data[pos + k]];
            if (MatchCost(length, distance) >= literals) length = 0;
        }
        if (length == 0) {
            literal(pos++);
            sinceModel++;
            continue;
        }
        // Lazy evaluation: a literal and the next match, or (behind a short
        // match) two literals and the match after them, may be worth more.
        while (length < s.lazy) {
            const unsigned depth = length >= s.good ? s.goodDepth : s.aheadDepth;
            const int64_t here = value(length, distance);
            uint32_t d1 = 0;
            const unsigned l1 = end - pos >= 1 + kMinMatch ? search(pos + 1, length - 1, depth, &d1) : 0;
            if (l1 != 0 && value(l1, d1) + kByteValue - model_.literal[data[pos]] > here) {
                literal(pos++);
                sinceModel++;
                length = l1;
                distance = d1;
                continue;
            }
            // Two literals and a match beat a match of 5 bytes or more too
            // seldom to pay for the search.
            if (length >= s.twoAhead) break;
            uint32_t d2 = 0;
            const unsigned l2 = end - pos >= 2 + kMinMatch ? search(pos + 2, length - 1, depth, &d2) : 0;
            if (l2 != 0 &&
                value(l2, d2) + 2 * kByteValue - model_.literal[data[pos]] - model_.literal[data[pos + 1]] > here) {
                literal(pos++);
                literal(pos++);
                sinceModel += 2;
                length = l2;
                distance = d2;
                continue;
            }
            break;
        }
        symbols[count] = static_cast<uint16_t>(length + kMatchBias);
        positions[count++] = static_cast<uint16_t>(distance - 1);
        sinceModel++;
        // Link the positions the match covers that no search has linked
        // (those with three bytes left).  Of a long match only those near
        // its ends: the ones between mostly repeat what its source holds.
        const uint32_t next = pos + length;
        const uint32_t to = next < end - (kMinMatch - 1) ? next : end - (kMinMatch - 1);
        uint32_t from = linked > pos + 1 ? linked : pos + 1;
        if (length > 2 * s.linkedEnds) {
            const uint32_t headEnd = pos + s.linkedEnds < to ? pos + s.linkedEnds : to;
            if (from < headEnd) chain_.InsertRange(data, from, headEnd);
            if (from < next - s.linkedEnds) from = next - s.linkedEnds;
        }
        if (from < to) chain_.InsertRange(data, from, to);
        if (linked < next) linked = next;
        pos = next;
    }
    EmitPending(true, s.blocks);
}

}  // namespace lzh
