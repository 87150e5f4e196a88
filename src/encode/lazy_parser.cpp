// The default level: one match search per position over hash chains, and
// a match is coded only if the search at the next position does not find
// a longer one (lazy matching).
#include "encode/segment_encoder.h"

namespace lzh {
namespace {

struct LazySettings {
    unsigned depth;    // chain positions looked at per search
    unsigned good;     // a pending match this long quarters the next search
    unsigned lazy;     // a pending match this long is taken without a search
    unsigned nice;     // a match this long ends the search
    uint32_t far3;     // a 3-byte match farther back costs more than three literals
    unsigned segment;  // granularity of block ends
};

constexpr LazySettings kLazy = {24, 32, 128, 128, 4096, 512};

}  // namespace

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

    uint32_t pos = start_;
    bool pending = false;        // the byte before pos is not coded yet
    unsigned pendingLength = 0;  // the match found there, or 0
    uint32_t pendingDistance = 0;
    for (;;) {
        const uint32_t available = end - pos;
        if (available == 0) break;

        unsigned length = 0;
        uint32_t distance = 0;
        if (available >= kMinMatch) {
            const uint32_t candidate = chain_.Insert(data, pos);
            if (pendingLength < s.lazy) {
                const unsigned limit = available < kMaxMatch ? available : kMaxMatch;
                const unsigned depth = pendingLength >= s.good ? s.depth / 4 : s.depth;
                const unsigned longer = pendingLength > kMinMatch - 1 ? pendingLength : kMinMatch - 1;
                length = chain_.Longest(data, pos, candidate, limit, longer, s.nice, depth, &distance);
                if (length == kMinMatch && distance > s.far3) length = 0;
            }
        }

        if (pendingLength != 0 && length == 0) {
            // The match before pos stands: code it and link the positions it covers.
            symbols[count] = static_cast<uint16_t>(pendingLength + kMatchBias);
            positions[count++] = static_cast<uint16_t>(pendingDistance - 1);
            const uint32_t next = pos - 1 + pendingLength;
            const uint32_t lastLinked = end - kMinMatch;
            for (uint32_t k = pos + 1; k < next && k <= lastLinked; k++) chain_.Insert(data, k);
            pos = next;
            pending = false;
            pendingLength = 0;
        } else {
            if (pending) {
                symbols[count] = data[pos - 1];
                positions[count++] = 0;
            }
            pending = true;
            pendingLength = length;
            pendingDistance = distance;
            pos++;
        }
        // Room for one more match and literal.
        if (count + 2 > BlockSplitter::kMaxSymbols) EmitPending(false, s.segment);
    }
    // At the end a pending byte had fewer than three bytes for a match.
    if (pending) {
        symbols[count] = data[pos - 1];
        positions[count++] = 0;
    }
    EmitPending(true, s.segment);
}

}  // namespace lzh
