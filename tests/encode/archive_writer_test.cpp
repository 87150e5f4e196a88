// The archive writer's refusals and failures: what it reports, and that it
// never reads more than it was told.
#include <gtest/gtest.h>

#include "encode_support.h"

namespace {

// Announced as `announced` bytes, delivers `data`; may fail reads or rewinds.
class FaultyInput final : public lzh::EncodeInput {
public:
    explicit FaultyInput(Bytes bytes) : data(std::move(bytes)) {}
    long Read(uint8_t* buffer, size_t count) override {
        if (failReads) return -1;
        reads++;
        const size_t left = data.size() - offset;
        if (count > left) count = left;
        std::copy_n(data.begin() + static_cast<long>(offset), count, buffer);
        offset += count;
        return static_cast<long>(count);
    }
    bool Rewind() override {
        offset = 0;
        return !failRewind;
    }
    Bytes data;
    size_t offset = 0;
    int reads = 0;
    bool failReads = false;
    bool failRewind = false;
};

lzh::EncodeStatus Add(const lzh::EncodeOptions& options, FaultyInput& input, uint64_t announced,
                      MemoryOutput* output = nullptr) {
    MemoryOutput local;
    lzh::ArchiveWriter writer(output != nullptr ? *output : local, options);
    return writer.AddFile({"f", announced, 0, lzh::kAttributeArchive}, input);
}

}  // namespace

TEST(ArchiveWriter, DataLongerOrShorterThanAnnouncedIsRefused) {
    for (const lzh::MethodCode method : {lzh::kLh0, lzh::kLh5, lzh::kLh7}) {
        for (const bool best : {false, true}) {
            SCOPED_TRACE(std::to_string(method) + (best ? " best" : ""));
            lzh::EncodeOptions options;
            options.method = method;
            options.best = best;
            for (const size_t announced : {size_t{0}, size_t{9999}, size_t{10001}, size_t{400000}}) {
                FaultyInput input(MakeData("text", 10000));
                EXPECT_EQ(lzh::EncodeStatus::kSizeChanged, Add(options, input, announced)) << announced;
            }
        }
    }
}

TEST(ArchiveWriter, ReadWriteAndRewindFailuresAreReported) {
    lzh::EncodeOptions options;
    FaultyInput unreadable(MakeData("text", 1000));
    unreadable.failReads = true;
    EXPECT_EQ(lzh::EncodeStatus::kReadError, Add(options, unreadable, 1000));

    // Random data is stored after a first try: its second reading fails.
    FaultyInput noRewind(MakeData("random", 100000));
    noRewind.failRewind = true;
    EXPECT_EQ(lzh::EncodeStatus::kReadError, Add(options, noRewind, 100000));

    for (const uint64_t failAt : {uint64_t{10}, uint64_t{5000}, uint64_t{60000}}) {
        SCOPED_TRACE(failAt);
        FaultyInput input(MakeData("binary", 200000));
        MemoryOutput output;
        output.failAt = failAt;
        EXPECT_EQ(lzh::EncodeStatus::kWriteError, Add(options, input, 200000, &output));
    }
}

TEST(ArchiveWriter, RefusesWhatTheFormatCannotHoldBeforeReading) {
    FaultyInput input(Bytes(16, 'x'));
    lzh::EncodeOptions options;
    EXPECT_EQ(lzh::EncodeStatus::kTooLarge, Add(options, input, uint64_t{1} << 32));
    options.headerLevel = 3;
    EXPECT_EQ(lzh::EncodeStatus::kBadOptions, Add(options, input, 16));
    options.headerLevel = 2;
    options.method = lzh::kLh1;
    EXPECT_EQ(lzh::EncodeStatus::kBadOptions, Add(options, input, 16));
    EXPECT_EQ(0, input.reads);

    MemoryOutput output;
    lzh::ArchiveWriter writer(output, lzh::EncodeOptions{});
    EXPECT_EQ(lzh::EncodeStatus::kBadName, writer.AddFile({"a//b", 16, 0, 0}, input));
    EXPECT_EQ(lzh::EncodeStatus::kBadName, writer.AddFolder({"", 0, 0, 0}));
    EXPECT_TRUE(output.bytes.empty());
}
