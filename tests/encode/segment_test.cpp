// An entry longer than a segment: the same bytes on any number of
// threads, matches that reach back over a segment's start, and the sizes
// around segment boundaries.
#include <gtest/gtest.h>

#include "encode_support.h"
#include "task_pool.h"

namespace {

constexpr size_t kSegment = lzh::SegmentEncoder::kSegmentSize;

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

Bytes PackWith(const Bytes& data, bool best, lzh::TaskRunner* runner, lzh::EncodedEntry* entry = nullptr) {
    MemoryOutput output;
    lzh::EncodeOptions options;
    options.best = best;
    lzh::ArchiveWriter writer(output, options);
    writer.SetRunner(runner);
    lzh::MemoryInput input(data.data(), data.size());
    EXPECT_EQ(lzh::EncodeStatus::kOk, writer.AddFile({"data", data.size(), 1700000000, 0}, input));
    if (entry != nullptr) *entry = writer.last();
    EXPECT_EQ(lzh::EncodeStatus::kOk, writer.Finish());
    return output.bytes;
}

void ExpectComesBack(const Bytes& archive, const Bytes& data) {
    const ReadArchive read = ReadBack(archive);
    ASSERT_EQ(1u, read.entries.size());
    EXPECT_EQ(lzh::DecodeOutcome::kOk, read.entries[0].outcome);
    EXPECT_TRUE(read.entries[0].data == data);
}

class Segments : public testing::TestWithParam<bool> {};

// Counts the bytes written and keeps none, so that the heap holds only the
// encoder's memory.
class CountingOutput final : public lzh::ArchiveOutput {
public:
    bool Write(const uint8_t*, size_t count) override {
        position_ += count;
        return true;
    }
    bool Seek(uint64_t position) override {
        position_ = position;
        return true;
    }
    uint64_t Position() const override { return position_; }

private:
    uint64_t position_ = 0;
};

// A pool that notes the most the heap held whenever a segment is handed
// over or joined.
class HeapWatchingRunner final : public lzh::TaskRunner {
public:
    explicit HeapWatchingRunner(unsigned threads) : pool_(threads) {}
    unsigned Threads() const override { return pool_.Threads(); }
    void Submit(lzh::Task& task) override {
        Note();
        pool_.Submit(task);
    }
    void Wait(lzh::Task& task) override {
        pool_.Wait(task);
        Note();
    }
    uint64_t peak = 0;

private:
    void Note() { peak = std::max(peak, HeapInUse()); }
    pack::TaskPool pool_;
};

struct HeapUse {
    uint64_t peak;  // while the file was packed, above the heap before it
    uint64_t kept;  // after the file
};

HeapUse PackWatched(const Bytes& data, unsigned threads) {
    CountingOutput output;
    const uint64_t before = HeapInUse();
    HeapWatchingRunner runner(threads);
    lzh::ArchiveWriter writer(output, {});
    writer.SetRunner(&runner);
    lzh::MemoryInput input(data.data(), data.size());
    EXPECT_EQ(lzh::EncodeStatus::kOk, writer.AddFile({"data", data.size(), 1700000000, 0}, input));
    return HeapUse{runner.peak - before, HeapInUse() - before};
}

}  // namespace

TEST_P(Segments, SameBytesOnAnyNumberOfThreads) {
    const bool best = GetParam();
    // Text, a run over a segment's end longer than the window, binary data.
    const Bytes data = Concat({MakeData("text", kSegment - 1000), MakeData("zero", 200000),
                               MakeData("binary", kSegment + 12345, 3), MakeData("period", 300000)});
    const Bytes alone = PackWith(data, best, nullptr);
    ExpectComesBack(alone, data);
    for (const unsigned threads : {1u, 2u, 5u}) {
        SCOPED_TRACE(threads);
        pack::TaskPool pool(threads);
        EXPECT_TRUE(PackWith(data, best, &pool) == alone);
    }
}

TEST_P(Segments, MatchesReachBackIntoTheSegmentBefore) {
    const bool best = GetParam();
    // Random bytes to the first segment's end, then its last 60,000 bytes
    // again: only the dictionary before the second segment can code them.
    const Bytes first = MakeData("random", kSegment, 7);
    const Bytes data = Concat({first, Bytes(first.end() - 60000, first.end())});
    lzh::EncodedEntry entry;
    pack::TaskPool pool(2);
    ExpectComesBack(PackWith(data, best, &pool, &entry), data);
    EXPECT_EQ(lzh::kLh7, entry.method);
    EXPECT_LT(entry.packedSize, data.size() - 50000);
}

TEST_P(Segments, SizesAroundSegmentEnds) {
    const bool best = GetParam();
    pack::TaskPool pool(3);
    for (const size_t size : {kSegment - 1, kSegment, kSegment + 1, kSegment + 2, kSegment + 3, 2 * kSegment}) {
        SCOPED_TRACE(size);
        const Bytes data = MakeData("binary", size, static_cast<uint32_t>(size));
        const Bytes archive = PackWith(data, best, &pool);
        ExpectComesBack(archive, data);
        EXPECT_TRUE(PackWith(data, best, nullptr) == archive);
    }
}

TEST(SegmentsStored, DataThatDoesNotShrinkOverSeveralSegmentsIsStored) {
    const Bytes data = MakeData("random", 2 * kSegment + 99, 5);
    pack::TaskPool pool(2);
    lzh::EncodedEntry entry;
    ExpectComesBack(PackWith(data, false, &pool, &entry), data);
    EXPECT_EQ(lzh::kLh0, entry.method);
}

INSTANTIATE_TEST_SUITE_P(Levels, Segments, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) { return info.param ? "best" : "default"; });

// A long file takes the memory of its slots (two per thread and one more),
// whatever its length, and gives back all but the first after it.
TEST(SegmentMemory, IsTheSlotsNotTheFileLength) {
    const Bytes shorter = MakeData("text", 6 * kSegment, 3);
    const Bytes longer = MakeData("text", 20 * kSegment, 3);
    for (const unsigned threads : {1u, 2u}) {
        SCOPED_TRACE(threads);
        const HeapUse a = PackWatched(shorter, threads);
        const HeapUse b = PackWatched(longer, threads);
        const uint64_t slot = a.kept;  // one segment's encoder and the output buffer
        EXPECT_GT(slot, 1u << 20);
        EXPECT_LE(b.kept, slot + (1u << 20));
        EXPECT_LE(b.peak, a.peak + (1u << 20));
        EXPECT_LE(b.peak, (2 * threads + 1) * slot + (1u << 20));
        EXPECT_GE(b.peak, 2 * threads * slot);
    }
}
