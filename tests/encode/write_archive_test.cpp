// Writing a plan on several threads: the same bytes as on one, the
// entries reported in the plan's order, the same message for the first
// file that cannot be read; and the progress line.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "encode_support.h"
#include "pack.h"

namespace fs = std::filesystem;

namespace {

void Sized(const fs::path& file, uint64_t size) {
    std::ofstream{file};
    fs::resize_file(file, size);
}

// Files of every kind and size (empty ones too), empty and nested
// folders; with `big`, files longer than kBufferedFileLimit (one that
// does not shrink) and more buffered bytes than kBufferBudget.
fs::path MakeTree(bool big) {
    const fs::path root = fs::temp_directory_path() / ("lzh-write-test-" + std::to_string(::getpid()));
    fs::remove_all(root);
    fs::create_directories(root / "empty" / "deeper");
    const char* const kinds[] = {"text", "binary", "random", "run", "period", "zero", "bytes"};
    const size_t sizes[] = {0, 1, 2, 3, 517, 4096, 65535, 65537, 150000, 400000};
    for (int i = 0; i < 90; i++) {
        const fs::path file =
            root / fs::path("d").concat(std::to_string(i % 6)) / fs::path("f").concat(std::to_string(i));
        fs::create_directories(file.parent_path());
        const Bytes data = MakeData(kinds[i % 7], sizes[i % 10] + static_cast<size_t>(i), i);
        std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(data.data()), data.size());
    }
    if (big) {
        const Bytes random = MakeData("random", pack::kBufferedFileLimit + 1);
        std::ofstream(root / "d2" / "g-random", std::ios::binary)
            .write(reinterpret_cast<const char*>(random.data()), random.size());
        Sized(root / "d2" / "g-zero", pack::kBufferedFileLimit + 70000);  // after it: waits its turn
        for (int i = 0; i < 8; i++)  // 8 x 15 MiB: more than the budget holds at once
            Sized(root / "d3" / fs::path("h").concat(std::to_string(i)), 15u << 20);
    }
    return root;
}

struct Written {
    bool ok = false;
    std::string error;
    std::vector<std::string> reported;
    Bytes bytes;
    uint64_t heapBefore = HeapInUse();
    uint64_t heapPeak = 0;  // as entries were reported
};

Written Write(const pack::ArchivePlan& plan, pack::PackOptions options, unsigned threads) {
    options.threads = threads;
    Written w;
    FILE* file = std::tmpfile();
    const auto note = [](const pack::PlannedEntry& e, const lzh::EncodedEntry&, void* to) {
        Written& w = *static_cast<Written*>(to);
        w.reported.push_back(e.file.name);
        w.heapPeak = std::max(w.heapPeak, HeapInUse() - w.heapBefore);
    };
    w.ok = pack::WriteArchive(file, plan, options, w.error, note, &w);
    w.bytes.resize(static_cast<size_t>(std::ftell(file)));
    std::rewind(file);
    EXPECT_EQ(w.bytes.size(), std::fread(w.bytes.data(), 1, w.bytes.size(), file));
    std::fclose(file);
    return w;
}

pack::ArchivePlan Plan(const fs::path& root, const pack::PackOptions& options) {
    pack::ArchivePlan plan;
    std::string error;
    EXPECT_TRUE(pack::PlanArchive({root.string()}, options, {}, plan, error)) << error;
    return plan;
}

TEST(WriteArchive, TheSameBytesWhateverTheThreads) {
    for (const bool best : {false, true}) {
        SCOPED_TRACE(best ? "best" : "default");
        const fs::path root = MakeTree(!best);
        pack::PackOptions options;
        options.encode.best = best;
        const pack::ArchivePlan plan = Plan(root, options);
        const Written one = Write(plan, options, 1);
        ASSERT_TRUE(one.ok) << one.error;
        const ReadArchive read = ReadBack(one.bytes);
        ASSERT_TRUE(read.endMark);
        ASSERT_EQ(plan.entries.size(), read.entries.size());
        for (size_t i = 0; i < plan.entries.size(); i++) {
            ASSERT_EQ(plan.entries[i].file.name, one.reported[i]);
            ASSERT_EQ(lzh::DecodeOutcome::kOk, read.entries[i].outcome) << one.reported[i];
            ASSERT_EQ(plan.entries[i].file.size, read.entries[i].data.size()) << one.reported[i];
        }
        for (const unsigned threads : {2u, 3u, 8u}) {
            const Written many = Write(plan, options, threads);
            ASSERT_TRUE(many.ok) << many.error;
            EXPECT_TRUE(many.bytes == one.bytes) << threads << " threads";
            EXPECT_EQ(one.reported, many.reported) << threads << " threads";
            // The budget's bytes and each thread's encoder, as on one thread.
            EXPECT_LE(many.heapPeak, pack::kBufferBudget + threads * one.heapPeak + (4u << 20)) << threads;
        }
        fs::remove_all(root);
    }
}

// A file gone, one that shrank, and a streamed one that shrank, each after
// the plan: the entries before it are reported, then its message, on any
// number of threads.
TEST(WriteArchive, TheFirstFileThatCannotBeReadEndsItAsOnOneThread) {
    const fs::path root = MakeTree(false);
    Sized(root / "d5" / "f95", pack::kBufferedFileLimit + 1);
    const pack::PackOptions options;
    const pack::ArchivePlan plan = Plan(root, options);
    const auto at = [&](const fs::path& file) {
        size_t i = 0;
        while (plan.entries[i].file.source != file) i++;
        return i;
    };
    const std::pair<fs::path, std::string> faults[] = {
        {root / "d3" / "f45", "cannot open: No such file or directory"},
        {root / "d1" / "f19", "file changed size while being read"},
        {root / "d5" / "f95", "file changed size while being read"}};
    for (const auto& [file, message] : faults) {
        const size_t index = at(file);
        if (message.find("open") != std::string::npos)
            fs::remove(file);
        else
            fs::resize_file(file, 100);
        for (const unsigned threads : {1u, 2u, 4u}) {
            const Written w = Write(plan, options, threads);
            EXPECT_FALSE(w.ok);
            EXPECT_EQ(plan.entries[index].file.name + ": " + message, w.error) << threads << " threads";
            ASSERT_EQ(index, w.reported.size()) << threads << " threads";
            for (size_t i = 0; i < index; i++) EXPECT_EQ(plan.entries[i].file.name, w.reported[i]);
        }
        // Made whole again for the next one.
        std::ofstream(file, std::ios::binary) << std::string(plan.entries[index].file.size, 'x');
    }
    fs::remove_all(root);
}

TEST(Progress, BytesDoneOfTheTotalRateAndTimeLeft) {
    EXPECT_EQ("0.0 of 61.7 MB (0%)", pack::FormatProgress(0, 61700000, 0));
    EXPECT_EQ("12.0 of 48.0 MB (25%)", pack::FormatProgress(12000000, 48000000, 0.4));
    EXPECT_EQ("12.0 of 48.0 MB (25%), 4.0 MB/s, 0:09 left", pack::FormatProgress(12000000, 48000000, 3));
    EXPECT_EQ("1.0 of 12.0 GB (8%), 1.0 MB/s, 3:03:20 left",
              pack::FormatProgress(1000000000, 12000000000, 1000));
    EXPECT_EQ("0.0 of 0.0 MB (100%)", pack::FormatProgress(0, 0, 0));
}

// Drawn at once, then at most every quarter second, over the last line;
// out of the way of other output; erased at the end.
TEST(Progress, RedrawnInPlaceAndErased) {
    FILE* stream = std::tmpfile();
    pack::Progress progress(stream, "t: ");
    progress.Start(4000000);
    progress.Add(3000000);
    progress.TickAt(0.1);
    progress.TickAt(0.2);
    progress.Add(1000000);
    progress.TickAt(1.0);
    progress.Hide();
    progress.TickAt(2.0);
    progress.Show();
    progress.Finish();
    progress.TickAt(3.0);
    std::string text(static_cast<size_t>(std::ftell(stream)), '\0');
    std::rewind(stream);
    ASSERT_EQ(text.size(), std::fread(text.data(), 1, text.size(), stream));
    std::fclose(stream);
    const std::string first = "t: 3.0 of 4.0 MB (75%)", last = "t: 4.0 of 4.0 MB (100%), 4.0 MB/s, 0:00 left";
    const std::string erase = "\r" + std::string(last.size(), ' ') + "\r";
    EXPECT_EQ("\r" + first + "\r" + last + erase + "\r" + last + erase, text);
}

}  // namespace
