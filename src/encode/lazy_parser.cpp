// The default level: one match search per position over hash chains, and
// a match is coded only if the search at the next position does not find
// a longer one (lazy matching).
#include "encode/entry_encoder.h"

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

// Bytes wanted behind the position: a full match behind the next one.
constexpr uint32_t kLookahead = kMaxMatch + kMinMatch;

}  // namespace

EntryEncoder::Outcome EntryEncoder::ParseLazy() {
    const LazySettings& s = kLazy;
    chain_.Start(dictionary_);
    const uint8_t* data = window_.data();
    uint16_t* symbols = pendingSymbols_;
    uint16_t* positions = pendingPositions_;
    unsigned& count = pendingCount_;

    uint32_t pos = 0;
    bool pending = false;        // the byte before pos is not coded yet
    unsigned pendingLength = 0;  // the match found there, or 0
    uint32_t pendingDistance = 0;
    for (;;) {
        if (window_.end() - pos < kLookahead && !window_.AtEnd()) {
            const Outcome filled = Fill(pos, kLookahead);
            if (filled != Outcome::kDone) return filled;
        }
        const uint32_t end = window_.end();
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
        if (count + 2 > BlockSplitter::kMaxSymbols) {
            const Outcome emitted = EmitPending(false, s.segment);
            if (emitted != Outcome::kDone) return emitted;
        }
    }
    // At the end a pending byte had fewer than three bytes for a match.
    if (pending) {
        symbols[count] = data[pos - 1];
        positions[count++] = 0;
    }
    return EmitPending(true, s.segment);
}

}  // namespace lzh
