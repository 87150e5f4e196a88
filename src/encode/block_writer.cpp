#include "encode/block_writer.h"

#include <cstring>

namespace lzh {
namespace {

// A short-list length: 0..6 in three bits; 7 and more as 111, one 1 bit per
// step above 7, and a closing 0.
unsigned LengthFieldBits(unsigned len) { return len < 7 ? 3 : len - 3; }

// Refits of the character code to its pre-tree, each with the pre-tree of
// the one before.
constexpr unsigned kFitRounds = 3;

unsigned LastUsed(const uint8_t* lengths, unsigned count) {
    while (count > 0 && lengths[count - 1] == 0) count--;
    return count;
}

}  // namespace

unsigned BlockWriter::BuildCode(const uint32_t* frequencies, unsigned count, uint8_t* lengths,
                                uint16_t* codes, Code& code) {
    code.used = BuildCodeLengths(frequencies, count, kMaxCodeLength, lengths, work_);
    code.single = 0;
    if (code.used == 1)
        for (unsigned s = 0; s < count; s++)
            if (frequencies[s] != 0) code.single = s;
    BuildCanonicalCodes(lengths, count, codes);
    return code.used;
}

void BlockWriter::BuildPreTreeSequence() {
    preCount_ = 0;
    charListCount_ = LastUsed(charLengths_, kCharSymbols);
    for (unsigned i = 0; i < charListCount_;) {
        if (charLengths_[i] != 0) {
            preSymbols_[preCount_] = static_cast<uint8_t>(charLengths_[i] + 2);
            preExtra_[preCount_++] = 0;
            i++;
            continue;
        }
        // The list ends with a used symbol, so a run of zeros stops before it.
        unsigned run = 1;
        while (charLengths_[i + run] == 0) run++;
        i += run;
        if (run == 19) {  // between the two run codes: one single zero, then 18
            preSymbols_[preCount_] = 0;
            preExtra_[preCount_++] = 0;
            run = 18;
        }
        if (run <= 2) {
            for (unsigned k = 0; k < run; k++) {
                preSymbols_[preCount_] = 0;
                preExtra_[preCount_++] = 0;
            }
        } else if (run <= 18) {
            preSymbols_[preCount_] = 1;
            preExtra_[preCount_++] = static_cast<uint16_t>(run - 3);
        } else {
            preSymbols_[preCount_] = 2;
            preExtra_[preCount_++] = static_cast<uint16_t>(run - 20);
        }
    }
}

uint64_t BlockWriter::ShortListBits(const uint8_t* lengths, unsigned sent, bool special) {
    const unsigned n = sent;
    uint64_t bits = 0;
    for (unsigned i = 0; i < n; i++) {
        bits += LengthFieldBits(lengths[i]);
        if (special && i + 1 == kPreTreeSpecial) {
            bits += 2;
            while (i + 1 < n && i + 1 < kPreTreeSpecial + 3 && lengths[i + 1] == 0) i++;
        }
    }
    return bits;
}

uint64_t BlockWriter::Plan(const uint16_t* symbols, const uint16_t* positions, unsigned count) {
    std::memset(charFrequencies_, 0, sizeof charFrequencies_);
    std::memset(positionFrequencies_, 0, sizeof positionFrequencies_);
    for (unsigned i = 0; i < count; i++) {
        const unsigned s = symbols[i];
        charFrequencies_[s]++;
        if (s >= 256) positionFrequencies_[PositionCode(positions[i])]++;
    }

    BuildCode(charFrequencies_, kCharSymbols, charLengths_, charCodes_, char_);
    BuildCode(positionFrequencies_, positionCodes_, positionLengths_, positionCodesTable_, position_);

    uint64_t bits = 16 + PlanCharacters();
    positionListCount_ = LastUsed(positionLengths_, positionCodes_);
    bits += positionCountBits_ + (position_.used < 2
                                      ? positionCountBits_
                                      : ShortListBits(positionLengths_, positionListCount_, false));
    for (unsigned j = 0; j < positionCodes_; j++)
        bits += static_cast<uint64_t>(positionFrequencies_[j]) * (positionLengths_[j] + PositionExtraBits(j));
    plannedBits_ = bits;
    return bits;
}

// The pre-tree, the character lengths it sends, and the characters: their
// bits from charLengths_.
uint64_t BlockWriter::PlanCharacters() {
    // Without two characters no pre-tree is needed: it is sent as a
    // one-symbol code too.
    if (char_.used < 2) {
        pre_.used = 0;
        return 2 * kPreTreeCountBits + 2 * kCharCountBits;
    }
    BuildPreTreeSequence();
    std::memset(preFrequencies_, 0, sizeof preFrequencies_);
    for (unsigned i = 0; i < preCount_; i++) preFrequencies_[preSymbols_[i]]++;
    BuildCode(preFrequencies_, kPreTreeSymbols, preLengths_, preCodes_, pre_);
    preListCount_ = LastUsed(preLengths_, kPreTreeSymbols);
    uint64_t bits = kPreTreeCountBits +
                    (pre_.used < 2 ? kPreTreeCountBits : ShortListBits(preLengths_, preListCount_, true));
    bits += kCharCountBits;
    for (unsigned i = 0; i < preCount_; i++) {
        const unsigned s = preSymbols_[i];
        bits += preLengths_[s] + (s == 1 ? 4 : s == 2 ? 9 : 0);
    }
    for (unsigned s = 0; s < kCharSymbols; s++)
        bits += static_cast<uint64_t>(charFrequencies_[s]) * charLengths_[s];
    return bits;
}

uint64_t BlockWriter::FitTables() {
    if (char_.used < 3 || pre_.used < 2) return plannedBits_;
    // A length the pre-tree does not code yet is priced as a long one.
    constexpr uint32_t kNewLengthBits = 8;
    uint64_t charBits = PlanCharacters();
    const uint64_t otherBits = plannedBits_ - charBits;
    uint8_t kept[kCharSymbols];
    OrderForFit(charFrequencies_, kCharSymbols, fitOrder_, work_);
    for (unsigned round = 0; round < kFitRounds; round++) {
        uint32_t cost[kMaxCodeLength + 1];
        for (unsigned len = 1; len <= kMaxCodeLength; len++)
            cost[len] = preLengths_[len + 2] != 0 ? preLengths_[len + 2] : kNewLengthBits;
        std::memcpy(kept, charLengths_, sizeof kept);
        if (!FitCodeLengths(fitOrder_, kMaxCodeLength, cost, charLengths_)) break;
        const uint64_t bits = PlanCharacters();
        if (bits >= charBits) {
            std::memcpy(charLengths_, kept, sizeof kept);
            PlanCharacters();
            break;
        }
        charBits = bits;
    }
    BuildCanonicalCodes(charLengths_, kCharSymbols, charCodes_);
    plannedBits_ = otherBits + charBits;
    return plannedBits_;
}

uint64_t BlockWriter::Lengthen() {
    if (char_.used >= 2 && pre_.used >= 2 && preListCount_ < kPreTreeSymbols) {
        const uint64_t before = ShortListBits(preLengths_, preListCount_, true);
        preListCount_++;
        plannedBits_ += ShortListBits(preLengths_, preListCount_, true) - before;
    } else if (position_.used >= 2 && positionListCount_ < positionCodes_) {
        positionListCount_++;
        plannedBits_ += 3;
    }
    return plannedBits_;
}

void BlockWriter::WriteShortList(BitOutput& out, const uint8_t* lengths, unsigned sent, unsigned countBits,
                                 bool special) {
    const unsigned n = sent;
    out.Put(n, countBits);
    for (unsigned i = 0; i < n; i++) {
        const unsigned len = lengths[i];
        if (len < 7)
            out.Put(len, 3);
        else
            out.Put((1u << (len - 3)) - 2, len - 3);
        if (special && i + 1 == kPreTreeSpecial) {
            unsigned zeros = 0;
            while (i + 1 < n && zeros < 3 && lengths[i + 1] == 0) {
                zeros++;
                i++;
            }
            out.Put(zeros, 2);
        }
    }
}

void BlockWriter::Write(BitOutput& out, const uint16_t* symbols, const uint16_t* positions,
                        unsigned count) const {
    out.Put(count, 16);
    if (char_.used < 2) {
        out.Put(0, kPreTreeCountBits);
        out.Put(0, kPreTreeCountBits);
        out.Put(0, kCharCountBits);
        out.Put(char_.single, kCharCountBits);
    } else {
        if (pre_.used < 2) {
            out.Put(0, kPreTreeCountBits);
            out.Put(pre_.single, kPreTreeCountBits);
        } else {
            WriteShortList(out, preLengths_, preListCount_, kPreTreeCountBits, true);
        }
        out.Put(charListCount_, kCharCountBits);
        for (unsigned i = 0; i < preCount_; i++) {
            const unsigned s = preSymbols_[i];
            out.Put(preCodes_[s], preLengths_[s]);
            if (s == 1) out.Put(preExtra_[i], 4);
            if (s == 2) out.Put(preExtra_[i], 9);
        }
    }
    if (position_.used < 2) {
        out.Put(0, positionCountBits_);
        out.Put(position_.single, positionCountBits_);
    } else {
        WriteShortList(out, positionLengths_, positionListCount_, positionCountBits_, false);
    }

    // The symbols through a copy of the writer: its state stays in
    // registers, where stores through its byte buffer would otherwise make
    // the compiler reload it after every word.
    BitOutput bits = out;
    for (unsigned i = 0; i < count; i++) {
        const unsigned s = symbols[i];
        bits.Put(charCodes_[s], charLengths_[s]);
        if (s < 256) continue;
        // The position code and its extra bits in one go: at most 16 + 16 bits.
        const unsigned p = positions[i];
        const unsigned j = PositionCode(p);
        const unsigned extra = j > 1 ? j - 1 : 0;
        bits.Put((static_cast<uint32_t>(positionCodesTable_[j]) << extra) | (p & ((1u << extra) - 1)),
                 positionLengths_[j] + extra);
    }
    out = bits;
}

}  // namespace lzh
