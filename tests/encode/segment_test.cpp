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
