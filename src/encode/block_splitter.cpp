#include "encode/block_splitter.h"

#include <cstdlib>
#include <cstring>

#include "encode/fixed_log2.h"

namespace lzh {
namespace {

constexpr unsigned kMaxSegments = BlockSplitter::kMaxSymbols / BlockSplitter::kMinSegment;

// Estimates are in 256ths of a bit, in integers: the same on every build.
constexpr unsigned kFractionBits = 8;
constexpr int64_t kBit = 1 << kFractionBits;

// The tables of a block, as fitted to the sizes the writer computes: a
// fixed part, every character length sent, every run of unused
// characters between them, and every position length.
constexpr int64_t kTableBits = 60 * kBit;
constexpr int64_t kCharLengthBits = 5 * kBit / 2;
constexpr int64_t kUnusedRunBits = 12 * kBit;
constexpr int64_t kPositionLengthBits = 5 * kBit;

}  // namespace

bool EntropyTable::Build() {
    constexpr unsigned kMax = BlockSplitter::kMaxSymbols;
    if (values_ != nullptr) return true;
    values_ = static_cast<uint32_t*>(std::malloc((kMax + 1) * sizeof(uint32_t)));
    if (values_ == nullptr) return false;
    // First log2(x) itself: an even number has the mantissa of its half,
    // so only odd numbers need Log2Fixed.  Then x log2 x in place, below
    // 2^31: kMaxSymbols * 18 bits * 256.
    values_[0] = 0;
    for (unsigned x = 1; x <= kMax; x++)
        values_[x] = x % 2 == 0 ? values_[x / 2] + (1u << kLog2FractionBits) : Log2Fixed(x);
    for (unsigned x = 1; x <= kMax; x++)
        values_[x] = static_cast<uint32_t>((uint64_t{x} * values_[x]) >> (kLog2FractionBits - kFractionBits));
    return true;
}

void EntropyTable::Free() {
    std::free(values_);
    values_ = nullptr;
}

bool BlockSplitter::Allocate(const uint32_t* xlog2x) {
    xlog2x_ = xlog2x;
    if (counts_ == nullptr)
        counts_ = static_cast<uint32_t*>(std::malloc((kMaxSegments + 1) * kAlphabet * sizeof(uint32_t)));
    return counts_ != nullptr;
}

void BlockSplitter::Free() {
    std::free(counts_);
    counts_ = nullptr;
}

unsigned BlockSplitter::SymbolsIn(unsigned first, unsigned last) const {
    const unsigned end = last * segment_ < count_ ? last * segment_ : count_;
    return end - first * segment_;
}

// The symbols of one side of a cut (or of a whole range), as an estimate
// adds them up: the sum of f log2 f over their frequencies, their count,
// how many lengths are sent and (characters) how many runs of unused
// characters lie between them.
struct BlockSplitter::Tally {
    int64_t sum = 0;
    unsigned total = 0, lengths = 0, runs = 0;
    int lastChar = -1;

    void AddChar(unsigned s, uint32_t f, const uint32_t* xlog2x) {
        if (f == 0) return;
        sum += xlog2x[f];
        total += f;
        lengths++;
        runs += static_cast<int>(s) != lastChar + 1;  // unused characters before it
        lastChar = static_cast<int>(s);
    }
    void AddCode(uint32_t f, const uint32_t* xlog2x) {
        if (f == 0) return;
        sum += xlog2x[f];
        total += f;
        lengths++;
    }
    int64_t CharBits(const uint32_t* xlog2x) const {
        return xlog2x[total] - sum + kTableBits + kCharLengthBits * lengths + kUnusedRunBits * runs;
    }
    int64_t CodeBits(const uint32_t* xlog2x) const { return xlog2x[total] - sum + kPositionLengthBits * lengths; }
};

// Bits of the symbols at their entropy, plus the tables.  Extra position
// bits do not depend on the split and are left out.  Only the symbols of
// `used` (in order: characters, then position codes) can occur.
int64_t BlockSplitter::Estimate(unsigned first, unsigned last, const uint16_t* used, unsigned usedCount) const {
    const uint32_t* a = counts_ + first * kAlphabet;
    const uint32_t* b = counts_ + last * kAlphabet;
    Tally chars, codes;
    unsigned k = 0;
    for (; k < usedCount && used[k] < kCharSymbols; k++) chars.AddChar(used[k], b[used[k]] - a[used[k]], xlog2x_);
    for (; k < usedCount; k++) codes.AddCode(b[used[k]] - a[used[k]], xlog2x_);
    return chars.CharBits(xlog2x_) + codes.CodeBits(xlog2x_);
}

// Estimate(first, cut) + Estimate(cut, last), reading each symbol's counts
// at the cut once.
int64_t BlockSplitter::EstimateCut(unsigned first, unsigned cut, unsigned last, const uint16_t* used,
                                   unsigned usedCount) const {
    const uint32_t* a = counts_ + first * kAlphabet;
    const uint32_t* m = counts_ + cut * kAlphabet;
    const uint32_t* b = counts_ + last * kAlphabet;
    Tally left, right;
    unsigned k = 0;
    for (; k < usedCount && used[k] < kCharSymbols; k++) {
        const unsigned s = used[k];
        const uint32_t middle = m[s];
        left.AddChar(s, middle - a[s], xlog2x_);
        right.AddChar(s, b[s] - middle, xlog2x_);
    }
    const int64_t bits = left.CharBits(xlog2x_) + right.CharBits(xlog2x_);
    left = right = Tally();
    for (; k < usedCount; k++) {
        const unsigned j = used[k];
        const uint32_t middle = m[j];
        left.AddCode(middle - a[j], xlog2x_);
        right.AddCode(b[j] - middle, xlog2x_);
    }
    return bits + left.CodeBits(xlog2x_) + right.CodeBits(xlog2x_);
}

void BlockSplitter::SplitRange(unsigned first, unsigned last) {
    const unsigned symbols = SymbolsIn(first, last);
    const bool tooLong = symbols > kMaxBlockSymbols;
    if (last - first < 2) {
        ends_[endCount_++] = first * segment_ + symbols;
        return;
    }
    // The symbols of the range: the estimates of its parts look at no others.
    uint16_t used[kAlphabet];
    unsigned usedCount = 0;
    const uint32_t* a = counts_ + first * kAlphabet;
    const uint32_t* b = counts_ + last * kAlphabet;
    for (unsigned s = 0; s < kAlphabet; s++)
        if (b[s] != a[s]) used[usedCount++] = static_cast<uint16_t>(s);
    // The cheapest cut: over a long range first every step-th (a power of
    // two), then around the best of those at half the distance, and so on.
    int64_t best = 0;
    unsigned at = 0;
    const auto tryCut = [&](unsigned c) {
        const int64_t bits = EstimateCut(first, c, last, used, usedCount);
        if (at == 0 || bits < best || (bits == best && c < at)) {
            best = bits;
            at = c;
        }
    };
    unsigned step = 1;
    while ((last - first) / (2 * step) >= coarseCuts_) step *= 2;
    for (unsigned c = first + step; c < last; c += step) tryCut(c);
    while (step > 1) {
        step /= 2;
        const unsigned coarse = at;
        if (coarse - step > first) tryCut(coarse - step);
        if (coarse + step < last) tryCut(coarse + step);
    }
    bool split = tooLong || best < Estimate(first, last, used, usedCount);
    if (split && !tooLong && verify_) {
        const unsigned start = first * segment_, middle = at * segment_;
        const uint64_t whole = writer_->Plan(symbols_ + start, positions_ + start, symbols);
        const uint64_t left = writer_->Plan(symbols_ + start, positions_ + start, middle - start);
        const uint64_t right =
            writer_->Plan(symbols_ + middle, positions_ + middle, start + symbols - middle);
        split = left + right < whole;
    }
    if (!split) {
        ends_[endCount_++] = first * segment_ + symbols;
        return;
    }
    SplitRange(first, at);
    SplitRange(at, last);
}

unsigned BlockSplitter::Split(const uint16_t* symbols, const uint16_t* positions, unsigned count,
                              const Settings& settings, BlockWriter& writer, unsigned* ends) {
    const unsigned segment = settings.segment;
    symbols_ = symbols;
    positions_ = positions;
    count_ = count;
    segment_ = segment;
    segments_ = (count + segment - 1) / segment;
    coarseCuts_ = settings.coarseCuts;
    verify_ = settings.verify;
    writer_ = &writer;
    ends_ = ends;
    endCount_ = 0;
    if (count == 0) return 0;

    std::memset(counts_, 0, kAlphabet * sizeof(uint32_t));
    for (unsigned k = 0; k < segments_; k++) {
        uint32_t* row = counts_ + (k + 1) * kAlphabet;
        std::memcpy(row, row - kAlphabet, kAlphabet * sizeof(uint32_t));
        const unsigned end = (k + 1) * segment < count ? (k + 1) * segment : count;
        for (unsigned i = k * segment; i < end; i++) {
            const unsigned s = symbols[i];
            row[s]++;
            if (s >= 256) row[kCharSymbols + PositionCode(positions[i])]++;
        }
    }
    SplitRange(0, segments_);
    return endCount_;
}

}  // namespace lzh
