// Archives the encoder makes, read back with the project's reader and
// decoder: every method, level and kind of data comes back byte for byte.
#include <gtest/gtest.h>

#include <cstring>

#include "encode_support.h"

namespace {

using Files = std::vector<std::pair<std::string, Bytes>>;

struct Method {
    lzh::MethodCode code;
    const char* id;
    uint32_t window;
};
constexpr Method kMethods[] = {
    {lzh::kLh5, "-lh5-", 8192}, {lzh::kLh6, "-lh6-", 32768}, {lzh::kLh7, "-lh7-", 65536}};
void PrintTo(const Method& m, std::ostream* out) { *out << m.id; }

// Every kind of data at sizes around the method's window, and the short
// ones where a block holds a single symbol.
Files DataSet(uint32_t window) {
    Files files;
    for (const size_t size : {size_t{0}, size_t{1}, size_t{2}, size_t{3}, size_t{4}, size_t{100}})
        files.emplace_back("text-" + std::to_string(size), MakeData("text", size));
    for (const char* kind : {"zero", "run", "random", "text", "binary", "period", "bytes"}) {
        for (const size_t size :
             {size_t{window} - 1, size_t{window}, size_t{window} + 1, 3 * size_t{window} + 7})
            files.emplace_back(std::string(kind) + "-" + std::to_string(size), MakeData(kind, size, size));
    }
    files.emplace_back("zero-300000", MakeData("zero", 300000));
    files.emplace_back("binary-300000", MakeData("binary", 300000, 9));
    return files;
}

void ExpectSame(const Files& files, const ReadArchive& read) {
    ASSERT_EQ(files.size(), read.entries.size());
    EXPECT_TRUE(read.endMark);
    EXPECT_TRUE(read.reports.empty());
    for (size_t i = 0; i < files.size(); i++) {
        SCOPED_TRACE(files[i].first);
        EXPECT_STREQ(files[i].first.c_str(), read.entries[i].header.name);
        EXPECT_EQ(lzh::DecodeOutcome::kOk, read.entries[i].outcome);
        EXPECT_TRUE(read.entries[i].data == files[i].second);
    }
}

class RoundTrip : public testing::TestWithParam<std::tuple<Method, bool>> {};

}  // namespace

TEST_P(RoundTrip, EveryKindOfDataComesBack) {
    const auto [method, best] = GetParam();
    const Files files = DataSet(method.window);
    lzh::EncodeOptions options;
    options.method = method.code;
    options.best = best;
    const Bytes archive = PackFiles(files, options);
    const ReadArchive read = ReadBack(archive);
    ExpectSame(files, read);
    // What cannot shrink is stored, the rest compressed with the method.
    for (const ReadEntry& e : read.entries) {
        SCOPED_TRACE(e.header.name);
        const bool incompressible = std::strncmp(e.header.name, "random", 6) == 0 || e.data.size() <= 4;
        if (incompressible) {
            EXPECT_STREQ("-lh0-", e.header.method);
            EXPECT_EQ(e.data.size(), e.header.packedSize);
        } else if (e.data.size() >= 1000 && (std::strncmp(e.header.name, "zero", 4) == 0 ||
                                             std::strncmp(e.header.name, "text", 4) == 0)) {
            EXPECT_STREQ(method.id, e.header.method);
            EXPECT_LT(e.header.packedSize, e.data.size() / 2);
        }
    }
    // The same input gives the same bytes.
    EXPECT_TRUE(PackFiles(files, options) == archive);
}

INSTANTIATE_TEST_SUITE_P(Methods, RoundTrip, testing::Combine(testing::ValuesIn(kMethods), testing::Bool()),
                         [](const testing::TestParamInfo<RoundTrip::ParamType>& info) {
                             return std::string(std::get<0>(info.param).id + 1, 3) +
                                    (std::get<1>(info.param) ? "_best" : "_default");
                         });

// A repeat one byte inside the dictionary is found; one a whole dictionary
// back is out of reach, so the data does not shrink and is stored.
TEST(RoundTripLimits, MatchesReachTheDictionarySizeLessOne) {
    for (const Method& method : kMethods) {
        for (const bool best : {false, true}) {
            SCOPED_TRACE(std::string(method.id) + (best ? " best" : ""));
            lzh::EncodeOptions options;
            options.method = method.code;
            options.best = best;
            Files files;
            for (const uint32_t distance : {method.window - 1, method.window}) {
                Bytes data = MakeData("random", distance, distance);
                data.insert(data.end(), data.begin(), data.end());
                files.emplace_back("repeat-" + std::to_string(distance), data);
            }
            const ReadArchive read = ReadBack(PackFiles(files, options));
            ExpectSame(files, read);
            EXPECT_STREQ(method.id, read.entries[0].header.method);
            EXPECT_LT(read.entries[0].header.packedSize, method.window + method.window / 16);
            EXPECT_STREQ("-lh0-", read.entries[1].header.method);
        }
    }
}

TEST(RoundTripLimits, StoredMethodStoresEverything) {
    lzh::EncodeOptions options;
    options.method = lzh::kLh0;
    const Files files = {{"zeros", MakeData("zero", 70000)}, {"empty", {}}};
    const ReadArchive read = ReadBack(PackFiles(files, options));
    ExpectSame(files, read);
    for (const ReadEntry& e : read.entries) EXPECT_STREQ("-lh0-", e.header.method);
}

// Headers of every level with folders, names below folders, Shift-JIS names
// whose second bytes are 0x5C and 0xFF-free, and a mix of methods.
TEST(RoundTripLevels, FoldersAndNamesAtEveryLevel) {
    // "ソフト/表示.txt" in Shift-JIS: both ソ and 表 end in 0x5C.
    const std::string sjisFolder = "\x83\x5C\x83\x74\x83\x67";
    const std::string sjisFile = sjisFolder + "/\x95\x5C\x8E\xA6.txt";
    for (int level = 0; level <= 2; level++) {
        SCOPED_TRACE(level);
        lzh::EncodeOptions options;
        options.headerLevel = level;
        MemoryOutput output;
        lzh::ArchiveWriter writer(output, options);
        const Bytes text = MakeData("text", 5000);
        lzh::MemoryInput a(text.data(), text.size()), b(text.data(), text.size());
        ASSERT_EQ(lzh::EncodeStatus::kOk, writer.AddFolder({"docs", 0, 1700000000, 0}));
        ASSERT_EQ(lzh::EncodeStatus::kOk, writer.AddFolder({"docs/empty", 0, 1700000000, 0}));
        ASSERT_EQ(lzh::EncodeStatus::kOk, writer.AddFile({"docs/a.txt", text.size(), 1700000000, 0x21}, a));
        ASSERT_EQ(lzh::EncodeStatus::kOk, writer.AddFolder({sjisFolder.c_str(), 0, 1700000000, 0x02}));
        ASSERT_EQ(lzh::EncodeStatus::kOk,
                  writer.AddFile({sjisFile.c_str(), text.size(), 1700000000, 0x20}, b));
        ASSERT_EQ(lzh::EncodeStatus::kOk, writer.Finish());

        const ReadArchive read = ReadBack(output.bytes);
        ASSERT_EQ(5u, read.entries.size());
        EXPECT_TRUE(read.endMark);
        const char* const names[] = {"docs\\", "docs\\empty\\", "docs\\a.txt", "\x83\x5C\x83\x74\x83\x67\\",
                                     "\x83\x5C\x83\x74\x83\x67\\\x95\x5C\x8E\xA6.txt"};
        const char* const methods[] = {"-lhd-", "-lhd-", "-lh7-", "-lhd-", "-lh7-"};
        const uint16_t attributes[] = {0x10, 0x10, 0x21, 0x12, 0x20};
        for (int i = 0; i < 5; i++) {
            SCOPED_TRACE(i);
            EXPECT_STREQ(names[i], read.entries[i].header.name);
            EXPECT_STREQ(methods[i], read.entries[i].header.method);
            EXPECT_EQ(attributes[i], read.entries[i].header.attribute);
            EXPECT_EQ(lzh::DecodeOutcome::kOk, read.entries[i].outcome);
        }
        EXPECT_TRUE(read.entries[2].data == text);
        EXPECT_TRUE(read.entries[4].data == text);
    }
}
