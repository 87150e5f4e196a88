// The decoder frame: ring buffer, matches, output blocks, progress, stored
// copies, aborts; and the -lzs-/-lz5- item formats.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <set>
#include <string>

#include "archive/lha_format.h"
#include "test_support.h"

namespace {

// -lzs- items.
void LzsLiteral(BitWriter& w, uint8_t byte) { w.Put(1, 1), w.Put(byte, 8); }
void LzsMatch(BitWriter& w, unsigned position, unsigned length) {
    w.Put(0, 1), w.Put(position, 11), w.Put(length - 2, 4);
}

// Stops the run after the first block has been written.
class CancellingSink final : public lzh::OutputSink {
public:
    explicit CancellingSink(std::atomic<int32_t>& abortState) : abortState_(abortState) {}
    bool Write(const uint8_t* bytes, size_t count) override {
        data.insert(data.end(), bytes, bytes + count);
        return true;
    }
    void Progress(uint32_t) override { abortState_.store(100); }
    Bytes data;

private:
    std::atomic<int32_t>& abortState_;
};

}  // namespace

TEST(MethodCode, FourthAndThirdCharactersDecide) {
    EXPECT_EQ(lzh::kLh0, lzh::MethodCodeOf("-lh0-"));
    EXPECT_EQ(lzh::kLh5, lzh::MethodCodeOf("-lh5-"));
    EXPECT_EQ(lzh::kLz5, lzh::MethodCodeOf("-lz5-"));
    EXPECT_EQ(lzh::kLz4, lzh::MethodCodeOf("-lz4-"));
    EXPECT_EQ(lzh::kLh4, lzh::MethodCodeOf("-lh4-"));
    EXPECT_EQ(lzh::kLzs, lzh::MethodCodeOf("-lzs-"));
    EXPECT_EQ(lzh::kLh7, lzh::MethodCodeOf("-lh7-"));
    EXPECT_EQ(lzh::kUnknown, lzh::MethodCodeOf("-lhd-"));
    EXPECT_EQ(lzh::kUnknown, lzh::MethodCodeOf("-lhx-"));
}

TEST(Frame, EmptyEntriesAndUnknownMethodsWriteNothing) {
    const DecodeResult empty = Decode(lzh::kLh5, Bytes(10, 0x55), 0);
    EXPECT_TRUE(empty.writes.empty());
    EXPECT_EQ(lzh::DecodeOutcome::kOk, empty.outcome);
    // An unknown method has nothing to give: an empty entry with the empty
    // data's CRC-16 (0) passes, anything else is refused by its method.
    const DecodeResult unknown = Decode(lzh::kUnknown, Bytes(10, 0x55), 10);
    EXPECT_TRUE(unknown.writes.empty());
    EXPECT_EQ(0, unknown.abortState);
    EXPECT_EQ(lzh::DecodeOutcome::kUnknownMethod, unknown.outcome);
    EXPECT_EQ(lzh::DecodeOutcome::kOk, Decode(lzh::kUnknown, Bytes(10, 0x55), 0).outcome);
    EXPECT_EQ(lzh::DecodeOutcome::kCrcMismatch, Decode(lzh::kUnknown, Bytes(10, 0x55), 0, 0x1234).outcome);
}

TEST(Frame, MatchesCopyFromTheRing) {
    // A match at the very start copies the ring's initial spaces.
    BitWriter start;
    LzsMatch(start, 100, 5);
    EXPECT_EQ(Bytes(5, ' '), Decode(lzh::kLzs, start.Finish(), 5).data);

    // Distance 0 repeats the last byte: 'a', then a match at ring index
    // 0 (stored position 2048 - 17) of length 10.
    BitWriter repeat;
    LzsLiteral(repeat, 'a');
    LzsMatch(repeat, 2048 - 17, 10);
    const DecodeResult r = Decode(lzh::kLzs, repeat.Finish(), 11);
    EXPECT_EQ(Bytes(11, 'a'), r.data);
    EXPECT_EQ(Crc16Of(r.data), r.crc16);
}

TEST(Frame, RingIsWrittenInFullBlocksThenTheRest) {
    BitWriter exact;
    for (int i = 0; i < 2048; i++) LzsLiteral(exact, static_cast<uint8_t>(i));
    const DecodeResult one = Decode(lzh::kLzs, exact.Finish(), 2048);
    EXPECT_EQ(std::vector<size_t>{2048}, one.writes);

    BitWriter longer;
    for (int i = 0; i < 2050; i++) LzsLiteral(longer, 'z');
    LzsMatch(longer, 0, 17);  // crosses nothing; ends the entry past 2048
    const DecodeResult two = Decode(lzh::kLzs, longer.Finish(), 2067);
    EXPECT_EQ((std::vector<size_t>{2048, 19}), two.writes);
}

TEST(Frame, MatchWrapsAroundTheRingEnd) {
    // 2040 literals, then a 17-byte match of the first 17 bytes: the copy
    // crosses the ring's end and flushes the full ring in the middle.
    BitWriter w;
    Bytes expected;
    for (int i = 0; i < 2040; i++) {
        LzsLiteral(w, static_cast<uint8_t>(i * 7));
        expected.push_back(static_cast<uint8_t>(i * 7));
    }
    LzsMatch(w, 0 + 2048 - 17, 17);  // ring index 0
    for (int i = 0; i < 17; i++) expected.push_back(expected[i]);
    const DecodeResult r = Decode(lzh::kLzs, w.Finish(), 2057);
    EXPECT_EQ(expected, r.data);
    EXPECT_EQ((std::vector<size_t>{2048, 9}), r.writes);
}

TEST(Frame, MatchesReachOneRingBackAfterTheWindowSlides) {
    // 12,000 literals pass the window's first slide (after 8 KiB for a
    // 2 KiB ring); a match then reads exactly one ring back (stored
    // position p addresses ring index p + 17, the write position is
    // 12000 % 2048), and one the whole ring less one back.
    BitWriter w;
    Bytes expected;
    for (int i = 0; i < 12000; i++) {
        const uint8_t b = static_cast<uint8_t>(i * 7 + i / 256);
        LzsLiteral(w, b);
        expected.push_back(b);
    }
    LzsMatch(w, (12000 - 17) & 0x7FF, 5);  // ring index 12000 % 2048: 2048 back
    for (int i = 0; i < 5; i++) expected.push_back(expected[12000 - 2048 + i]);
    LzsMatch(w, (12005 - 17 + 1) & 0x7FF, 4);  // 2047 back
    for (int i = 0; i < 4; i++) expected.push_back(expected[12005 - 2047 + i]);
    const DecodeResult r = Decode(lzh::kLzs, w.Finish(), static_cast<uint32_t>(expected.size()));
    EXPECT_EQ(expected, r.data);
    EXPECT_EQ(Crc16Of(expected), r.crc16);
    EXPECT_EQ(6u, r.writes.size());  // five full rings, then the rest
}

TEST(Frame, LastMatchIsCopiedWhole) {
    // Corrupt data can overshoot the unpacked size; the verdict catches it.
    BitWriter w;
    LzsLiteral(w, 'k');
    LzsMatch(w, 2048 - 17, 17);
    const DecodeResult r = Decode(lzh::kLzs, w.Finish(), 5);
    EXPECT_EQ(18u, r.data.size());
    EXPECT_EQ(lzh::DecodeOutcome::kLengthMismatch, r.outcome);
}

TEST(Lz5, FlagBytesAndTheInitialRing) {
    // Position 0 addresses ring index 18: thirteen 0x00 bytes.
    EXPECT_EQ(Bytes(3, 0x00), Decode(lzh::kLz5, {0x00, 0x00, 0x00}, 3).data);
    // Position 0xD00 addresses index 3346: the ascending run 0, 1, 2.
    EXPECT_EQ((Bytes{0, 1, 2}), Decode(lzh::kLz5, {0x00, 0x00, 0xD0}, 3).data);
    // Position 255, length 18: index 273, in the run of 19s, then the 20s.
    Bytes run(5, 19);
    run.insert(run.end(), 13, 20);
    EXPECT_EQ(run, Decode(lzh::kLz5, {0x00, 0xFF, 0x0F}, 18).data);
    // Index 0..17 hold zeros; the last 110 bytes hold spaces.
    EXPECT_EQ(Bytes(18, 0x00), Decode(lzh::kLz5, {0x00, 0xEE, 0xFF}, 18).data);
    EXPECT_EQ(Bytes(18, ' '), Decode(lzh::kLz5, {0x00, 0xDC, 0xFF}, 18).data);
    // Flag bits are used from the lowest: 0xFF is eight literals.
    EXPECT_EQ((Bytes{'l', 'i', 't', 'e', 'r', 'a', 'l', 's'}),
              Decode(lzh::kLz5, {0xFF, 'l', 'i', 't', 'e', 'r', 'a', 'l', 's'}, 8).data);
    // 0xFE: a match first, then literals.
    EXPECT_EQ((Bytes{0, 0, 0, 'x'}), Decode(lzh::kLz5, {0xFE, 0x00, 0x00, 'x'}, 4).data);
}

TEST(Stored, CopiesInChunksWithProgress) {
    Bytes data(70000);
    for (size_t i = 0; i < data.size(); i++) data[i] = static_cast<uint8_t>(i * 31);
    const DecodeResult r = Decode(lzh::kLh0, data, 70000, Crc16Of(data));
    EXPECT_EQ(data, r.data);
    EXPECT_EQ((std::vector<size_t>{32768, 32768, 4464}), r.writes);
    EXPECT_EQ((std::vector<uint32_t>{32, 64, 68}), r.progress);
    EXPECT_EQ(lzh::DecodeOutcome::kOk, r.outcome);
}

// The verdict of one entry, in the order the faults are judged: its own
// fault, the packed data, the size, then the CRC-16.
TEST(Outcome, EachFaultHasItsVerdict) {
    const Bytes data(40, 'd');
    const uint16_t crc = Crc16Of(data);
    // The stored copy does not consult the unpacked size; the verdict does.
    EXPECT_EQ(lzh::DecodeOutcome::kLengthMismatch, Decode(lzh::kLh0, data, 39, crc).outcome);
    EXPECT_EQ(lzh::DecodeOutcome::kCrcMismatch, Decode(lzh::kLh0, data, 40, crc ^ 1).outcome);

    // Packed data that ends before its size says: the copy stops at the end
    // of the file, which a decoder reading past it also meets.
    MemoryFile file(data);
    MemorySink sink;
    std::atomic<int32_t> abortState{0};
    auto decoder = std::make_unique<lzh::Decoder>(file.get(), sink, abortState);
    EXPECT_EQ(lzh::DecodeOutcome::kReadError, decoder->DecodeEntry(lzh::kLz4, 100, 100, crc));
    EXPECT_EQ(data, sink.data);
    std::rewind(file.get());
    EXPECT_EQ(lzh::DecodeOutcome::kReadError, decoder->DecodeEntry(lzh::kLzs, 100, 5000, 0));
    std::rewind(file.get());
    sink.data.clear();
    EXPECT_EQ(lzh::DecodeOutcome::kOk, decoder->DecodeEntry(lzh::kLh0, 0xFFFFFFFF, 40, crc));  // to the end
    EXPECT_EQ(data, sink.data);

    // A stream that asks for far more than its packed data, within the file.
    BitWriter lzs;
    for (int i = 0; i < 4; i++) LzsLiteral(lzs, 'p');
    Bytes packed = lzs.Finish();
    const uint32_t packedSize = static_cast<uint32_t>(packed.size());
    packed.resize(packed.size() + 1000, 0xAA);
    MemoryFile longer(packed);
    auto past = std::make_unique<lzh::Decoder>(longer.get(), sink, abortState);
    EXPECT_EQ(lzh::DecodeOutcome::kPastPackedData, past->DecodeEntry(lzh::kLzs, packedSize, 1000, 0));
    EXPECT_EQ(0, abortState.load());
}

TEST(Outcome, EveryOutcomeHasItsOwnText) {
    EXPECT_STREQ("OK", lzh::DecodeOutcomeText(lzh::DecodeOutcome::kOk));
    EXPECT_STREQ("CRC Error!", lzh::DecodeOutcomeText(lzh::DecodeOutcome::kCrcMismatch));
    EXPECT_STREQ("Bad table (case a)", lzh::DecodeOutcomeText(lzh::DecodeOutcome::kBadTableA));
    EXPECT_STREQ("Bad table (case b)", lzh::DecodeOutcomeText(lzh::DecodeOutcome::kBadTableB));
    EXPECT_STREQ("Cancelled.", lzh::DecodeOutcomeText(lzh::DecodeOutcome::kCancelled));
    std::set<std::string> texts;
    for (unsigned i = 0; i <= static_cast<unsigned>(lzh::DecodeOutcome::kCancelled); i++)
        texts.insert(lzh::DecodeOutcomeText(static_cast<lzh::DecodeOutcome>(i)));
    EXPECT_EQ(static_cast<unsigned>(lzh::DecodeOutcome::kCancelled) + 1, texts.size());
    EXPECT_EQ(0u, texts.count(""));
}

TEST(Stored, ProgressCountsTheWholeRun) {
    MemoryFile file(Bytes(5000, 's'));
    MemorySink sink;
    std::atomic<int32_t> abortState{0};
    auto decoder = std::make_unique<lzh::Decoder>(file.get(), sink, abortState);
    decoder->DecodeEntry(lzh::kLh0, 3000, 3000, 0);
    decoder->DecodeEntry(lzh::kLh0, 2000, 2000, 0);
    EXPECT_EQ((std::vector<uint32_t>{2, 4}), sink.progress);
    EXPECT_EQ(5000u, decoder->outputTotal);
}

// One decoder keeps its window from entry to entry: each entry still starts
// from its method's initial ring, whatever the entries before it left there.
TEST(Frame, EveryEntryStartsFromItsOwnInitialRing) {
    BitWriter xs;
    for (int i = 0; i < 9000; i++) LzsLiteral(xs, 'x');  // past the window's first slide
    BitWriter spaces;
    LzsMatch(spaces, 100, 5);
    const Bytes parts[] = {xs.Finish(), Bytes(40000, 'y'), spaces.Finish(), Bytes{0x00, 0x00, 0xD0}};
    Bytes packed;
    for (const Bytes& part : parts) packed.insert(packed.end(), part.begin(), part.end());

    MemoryFile file(packed);
    MemorySink sink;
    std::atomic<int32_t> abortState{0};
    auto decoder = std::make_unique<lzh::Decoder>(file.get(), sink, abortState);
    const lzh::MethodCode methods[] = {lzh::kLzs, lzh::kLh0, lzh::kLzs, lzh::kLz5};
    const Bytes expected[] = {Bytes(9000, 'x'), Bytes(40000, 'y'), Bytes(5, ' '), Bytes{0, 1, 2}};
    for (int i = 0; i < 4; i++) {
        sink.data.clear();
        const auto size = static_cast<uint32_t>(expected[i].size());
        EXPECT_EQ(lzh::DecodeOutcome::kOk, decoder->DecodeEntry(methods[i], static_cast<uint32_t>(parts[i].size()),
                                                                size, Crc16Of(expected[i])))
            << i;
        EXPECT_EQ(expected[i], sink.data) << i;
    }
}

TEST(Frame, CancelStopsBeforeTheNextCode) {
    BitWriter w;
    for (int i = 0; i < 5000; i++) LzsLiteral(w, 'c');
    const Bytes packed = w.Finish();
    MemoryFile file(packed);
    std::atomic<int32_t> abortState{0};
    CancellingSink sink(abortState);
    auto decoder = std::make_unique<lzh::Decoder>(file.get(), sink, abortState);
    EXPECT_EQ(lzh::DecodeOutcome::kCancelled,
              decoder->DecodeEntry(lzh::kLzs, static_cast<uint32_t>(packed.size()), 5000, 0));
    EXPECT_EQ(2048u, sink.data.size());
    EXPECT_EQ(100, abortState.load());

    // A cancel that comes with the last block leaves the entry complete.
    std::rewind(file.get());
    abortState.store(0);
    sink.data.clear();
    EXPECT_EQ(lzh::DecodeOutcome::kOk, decoder->DecodeEntry(lzh::kLzs, static_cast<uint32_t>(packed.size()),
                                                            2048, Crc16Of(Bytes(2048, 'c'))));
}

TEST(Frame, WriteFailureAbortsAndStopsWriting) {
    MemoryFile file(Bytes(70000, 'w'));
    MemorySink sink;
    sink.failWrites = true;
    std::atomic<int32_t> abortState{0};
    auto decoder = std::make_unique<lzh::Decoder>(file.get(), sink, abortState);
    EXPECT_EQ(lzh::DecodeOutcome::kWriteFailed, decoder->DecodeEntry(lzh::kLh0, 70000, 70000, 0));
    EXPECT_EQ(-1, abortState.load());
    EXPECT_EQ(std::vector<size_t>{32768}, sink.writes);
    EXPECT_EQ(0u, decoder->outputTotal);
    EXPECT_TRUE(sink.progress.empty());
}
