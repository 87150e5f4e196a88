#include "encode/match_finder.h"

#include <cstdlib>

namespace lzh {
namespace {

constexpr uint32_t kHashSize = 1u << kHashBits;

uint32_t* AllocatePositions(uint32_t count) {
    return static_cast<uint32_t*>(std::malloc(count * sizeof(uint32_t)));
}

}  // namespace

bool HashChain::Allocate(uint32_t largestDictionary) {
    if (head_ != nullptr) return true;
    head_ = AllocatePositions(kHashSize);
    head3_ = AllocatePositions(kHashSize);
    prev_ = static_cast<uint16_t*>(std::malloc(largestDictionary * sizeof(uint16_t)));
    if (head_ == nullptr || head3_ == nullptr || prev_ == nullptr) {
        Free();
        return false;
    }
    return true;
}

void HashChain::Free() {
    std::free(head_);
    std::free(head3_);
    std::free(prev_);
    head_ = head3_ = nullptr;
    prev_ = nullptr;
}

void HashChain::Start(uint32_t dictionary) {
    mask_ = dictionary - 1;
    maxDistance_ = dictionary - 1;
    std::memset(head_, 0xFF, kHashSize * sizeof(uint32_t));
    std::memset(head3_, 0xFF, kHashSize * sizeof(uint32_t));
}

bool BinaryTree::Allocate(uint32_t largestDictionary) {
    if (head_ != nullptr) return true;
    head_ = AllocatePositions(kHashSize);
    tree_ = AllocatePositions(2 * largestDictionary);
    if (head_ == nullptr || tree_ == nullptr) {
        Free();
        return false;
    }
    return true;
}

void BinaryTree::Free() {
    std::free(head_);
    std::free(tree_);
    head_ = tree_ = nullptr;
}

void BinaryTree::Start(uint32_t dictionary, unsigned depth, unsigned nice) {
    mask_ = dictionary - 1;
    maxDistance_ = dictionary - 1;
    depth_ = depth;
    nice_ = nice;
    std::memset(head_, 0xFF, kHashSize * sizeof(uint32_t));
}

unsigned BinaryTree::Find(const uint8_t* data, uint32_t pos, uint32_t available, Match* out) {
    return Insert<true>(data, pos, available, out);
}

void BinaryTree::Skip(const uint8_t* data, uint32_t pos, uint32_t available) {
    Insert<false>(data, pos, available, nullptr);
}

// pos becomes the root of its hash's tree.  The walk goes down from the old
// root; every node met is smaller or larger than pos (compared over at most
// `limit` bytes) and is hung into pos's left or right subtree, and the walk
// goes on into the node's subtree on pos's side.  A node whose bytes are
// equal over `limit` bytes is replaced by pos, which takes its children.
// lessLength and moreLength are the bytes pos shares with every node
// below the last smaller and larger nodes met, so comparisons start there.
template <bool kReport>
unsigned BinaryTree::Insert(const uint8_t* data, uint32_t pos, uint32_t available, Match* out) {
    const unsigned limit = available < nice_ ? available : nice_;
    const uint32_t h = Hash3(data + pos);
    uint32_t candidate = head_[h];
    head_[h] = pos;
    uint32_t* less = &tree_[2 * (pos & mask_)];
    uint32_t* more = less + 1;
    unsigned lessLength = 0, moreLength = 0;
    unsigned best = kReport ? 2 : 0;
    unsigned count = 0;
    const uint8_t* here = data + pos;
    for (unsigned depth = depth_;; depth--) {
        // Children are always older than their parent, so the walk ends.
        if (candidate >= pos || pos - candidate > maxDistance_ || depth == 0) {
            *less = *more = kNoPosition;
            break;
        }
        uint32_t* node = &tree_[2 * (candidate & mask_)];
        const uint8_t* there = data + candidate;
        unsigned len = lessLength < moreLength ? lessLength : moreLength;
        if (there[len] == here[len]) {
            len += 1 + MatchLength(there + len + 1, here + len + 1, limit - len - 1);
            if (kReport && len > best) {
                best = len;
                out[count++] = Match{static_cast<uint16_t>(len), static_cast<uint16_t>(pos - candidate)};
            }
            if (len >= limit) {
                *less = node[0];
                *more = node[1];
                break;
            }
        }
        if (there[len] < here[len]) {
            *less = candidate;
            less = &node[1];
            candidate = *less;
            lessLength = len;
        } else {
            *more = candidate;
            more = &node[0];
            candidate = *more;
            moreLength = len;
        }
    }
    return count;
}

}  // namespace lzh
