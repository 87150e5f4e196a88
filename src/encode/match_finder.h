// LZSS match finders over the input window.  Positions are offsets in the
// window's buffer; kNoPosition marks an empty slot.  Both keep one slot per
// dictionary position (pos modulo the dictionary size), so a match is never
// farther back than the dictionary size - 1.
//
// HashChain: every position is linked to the previous one with the same
// four-byte hash, and the latest position of each three-byte hash is
// kept; the default level tries that one and walks a bounded part of the
// chain (a three-byte match is worth most when near, and the four-byte
// chains hold fewer positions that match too briefly).
// BinaryTree: the positions of one hash are a binary search tree ordered by
// the bytes that follow them, rebuilt around each new position as it is
// inserted; a search reports a match of every new best length, which is
// what optimal parsing needs.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace lzh {

constexpr uint32_t kNoPosition = 0xFFFFFFFF;
constexpr unsigned kHashBits = 16;

// The hash of a number made of up to four bytes.
inline uint32_t HashOf(uint32_t v) { return (v * 0x9E3779B1u) >> (32 - kHashBits); }

inline uint32_t Hash3(const uint8_t* p) { return HashOf(p[0] | p[1] << 8 | p[2] << 16); }

// Both hashes of the bytes at p, from one load.
struct Hashes {
    uint32_t h3, h4;
};
inline Hashes HashesAt(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return {std::endian::native == std::endian::little ? HashOf(v & 0xFFFFFF) : Hash3(p), HashOf(v)};
}

// A chain link: the distance back from pos to last, 0 when out of reach.
inline uint16_t LinkBack(uint32_t pos, uint32_t last, uint32_t maxDistance) {
    const uint32_t back = pos - last;
    return static_cast<uint16_t>(last < pos && back <= maxDistance ? back : 0);
}

// Length of the common prefix of a and b, at most limit.  Reads whole
// words, up to 7 bytes beyond limit.
inline unsigned MatchLength(const uint8_t* a, const uint8_t* b, unsigned limit) {
    unsigned len = 0;
    while (len + 8 <= limit) {
        uint64_t x, y;
        std::memcpy(&x, a + len, 8);
        std::memcpy(&y, b + len, 8);
        if (x != y) {
            const uint64_t diff = x ^ y;
            if constexpr (std::endian::native == std::endian::little)
                return len + static_cast<unsigned>(std::countr_zero(diff)) / 8;
            else
                return len + static_cast<unsigned>(std::countl_zero(diff)) / 8;
        }
        len += 8;
    }
    while (len < limit && a[len] == b[len]) len++;
    return len;
}

// One (length, distance) pair reported by a search.
struct Match {
    uint16_t length;
    uint16_t distance;  // 1..dictionary - 1
};

class HashChain {
public:
    bool Allocate(uint32_t largestDictionary);
    void Free();
    void Start(uint32_t dictionary);

    // Links pos into its chain (its next bytes are readable: the window is
    // padded) and keeps what Longest starts from: the nearest earlier
    // position with the same three-byte hash and the chain of positions
    // with the same four-byte hash.
    void Insert(const uint8_t* data, uint32_t pos) {
        const Hashes h = HashesAt(data + pos);
        nearest3_ = head3_[h.h3];
        head3_[h.h3] = pos;
        chain4_ = head_[h.h4];
        prev_[pos & mask_] = LinkBack(pos, chain4_, maxDistance_);
        head_[h.h4] = pos;
    }

    // Links every position of [from, to) as Insert does, without keeping
    // what a search starts from.
    void InsertRange(const uint8_t* data, uint32_t from, uint32_t to) {
        uint32_t* const head = head_;
        uint32_t* const head3 = head3_;
        uint16_t* const prev = prev_;
        const uint32_t mask = mask_, maxDistance = maxDistance_;
        for (uint32_t pos = from; pos < to; pos++) {
            const Hashes h = HashesAt(data + pos);
            head3[h.h3] = pos;
            prev[pos & mask] = LinkBack(pos, head[h.h4], maxDistance);
            head[h.h4] = pos;
        }
    }

    // For the position just inserted: tries the nearest three-byte match,
    // then walks the four-byte chain through at most `depth` positions in
    // reach of pos, and returns the longest match longer than `longer`
    // (at most `limit` bytes, stopping early at `nice`), or 0.  Of equal
    // lengths the nearest wins.
    unsigned Longest(const uint8_t* data, uint32_t pos, unsigned limit, unsigned longer, unsigned nice,
                     unsigned depth, uint32_t* distance) const {
        const uint8_t* here = data + pos;
        const uint32_t lowest = pos > maxDistance_ ? pos - maxDistance_ : 0;
        unsigned best = longer;
        if (best >= limit) return 0;
        if (nearest3_ < pos && nearest3_ >= lowest) {
            const unsigned len = MatchLength(data + nearest3_, here, limit);
            if (len > best && len >= 3) {
                best = len;
                *distance = pos - nearest3_;
                if (len >= nice || len >= limit) return best;
            }
        }
        uint32_t candidate = chain4_;
        if (candidate >= pos) return best > longer ? best : 0;
        while (candidate >= lowest && depth-- > 0) {
            const uint8_t* there = data + candidate;
            // Cheap rejection: the byte that would make the match longer.
            if (there[best] == here[best] && there[0] == here[0] && there[1] == here[1]) {
                const unsigned len = MatchLength(there, here, limit);
                if (len > best) {
                    best = len;
                    *distance = pos - candidate;
                    if (len >= nice || len >= limit) break;
                }
            }
            const uint32_t back = prev_[candidate & mask_];
            if (back == 0) break;
            candidate -= back;
        }
        return best > longer ? best : 0;
    }

private:
    uint32_t* head_ = nullptr;   // four-byte hash
    uint32_t* head3_ = nullptr;  // three-byte hash: its latest position only
    uint16_t* prev_ = nullptr;  // per position: how far back its chain goes on, 0 for nowhere
    uint32_t mask_ = 0;
    uint32_t maxDistance_ = 0;
    uint32_t nearest3_ = kNoPosition;
    uint32_t chain4_ = kNoPosition;
};

class BinaryTree {
public:
    bool Allocate(uint32_t largestDictionary);
    void Free();
    void Start(uint32_t dictionary, unsigned depth, unsigned nice);

    // Inserts pos (which has `available` >= 3 bytes) and writes to out the
    // matches of strictly growing length, at most min(nice, available)
    // long; returns how many.  out holds kMaxMatch entries.
    unsigned Find(const uint8_t* data, uint32_t pos, uint32_t available, Match* out);

    // Inserts pos without reporting matches.
    void Skip(const uint8_t* data, uint32_t pos, uint32_t available);

    unsigned nice() const { return nice_; }

private:
    template <bool kReport>
    unsigned Insert(const uint8_t* data, uint32_t pos, uint32_t available, Match* out);

    uint32_t* head_ = nullptr;
    uint32_t* tree_ = nullptr;  // two children per position: smaller, larger
    uint32_t mask_ = 0;
    uint32_t maxDistance_ = 0;
    unsigned depth_ = 0;
    unsigned nice_ = 0;
};

}  // namespace lzh
