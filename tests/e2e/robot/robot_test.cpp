// The robot's text and script handling (the parts that need no other
// process); the bench tests exercise the rest on real windows.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "script.h"
#include "text.h"

namespace {

TEST(GlobMatch, WholeTextWithStarAndQuestionMark) {
    EXPECT_TRUE(GlobMatch(L"Confirm Extracting", L"Confirm Extracting"));
    EXPECT_FALSE(GlobMatch(L"Confirm", L"Confirm Extracting"));
    EXPECT_FALSE(GlobMatch(L"Confirm Extracting", L"Confirm"));
    EXPECT_TRUE(GlobMatch(L"Confirm*", L"Confirm Extracting"));
    EXPECT_TRUE(GlobMatch(L"*Extract*", L"Confirm Extracting"));
    EXPECT_TRUE(GlobMatch(L"*\\out", L"Z:\\tmp\\out"));
    EXPECT_FALSE(GlobMatch(L"*\\out", L"Z:\\tmp\\out\\"));
    EXPECT_TRUE(GlobMatch(L"V?D-IDA", L"VID-IDA"));
    EXPECT_FALSE(GlobMatch(L"V?D-IDA", L"VD-IDA"));
    EXPECT_TRUE(GlobMatch(L"a*b*c", L"aXbYbZc"));
    EXPECT_FALSE(GlobMatch(L"a*b*c", L"aXbYbZ"));
    EXPECT_TRUE(GlobMatch(L"*", L""));
    EXPECT_TRUE(GlobMatch(L"", L""));
    EXPECT_FALSE(GlobMatch(L"", L"x"));
    EXPECT_TRUE(GlobMatch(L"展開先の*", L"展開先の指定"));
}

TEST(Text, Utf8RoundTripAndQuoting) {
    const std::string utf8 = "\xE5\xB1\x95\xE9\x96\x8B abc";  // 展開 abc
    EXPECT_EQ(FromUtf8(utf8), L"展開 abc");
    EXPECT_EQ(ToUtf8(FromUtf8(utf8)), utf8);
    EXPECT_EQ(FromUtf8(""), L"");
    EXPECT_EQ(Quoted(L"a\nb\r\tc"), L"\"a\\nb\\r\\tc\"");
    EXPECT_EQ(Quoted(L"C:\\x"), L"\"C:\\x\"");
}

TEST(ParseSteps, GroupsWordsByEachStepsArgumentCount) {
    std::vector<Step> steps;
    std::wstring error;
    ASSERT_TRUE(ParseSteps({L"timeout", L"5", L"wait", L"A B", L"list", L"settext", L"109", L"C:\\x",
                            L"answer", L"VID-IDA", L"ok"},
                           steps, error))
        << std::string(error.begin(), error.end());
    ASSERT_EQ(steps.size(), 5u);
    EXPECT_EQ(steps[1].name, L"wait");
    EXPECT_EQ(steps[1].args, std::vector<std::wstring>{L"A B"});
    EXPECT_TRUE(steps[2].args.empty());
    EXPECT_EQ(steps[3].args, (std::vector<std::wstring>{L"109", L"C:\\x"}));
    EXPECT_EQ(steps[4].args, (std::vector<std::wstring>{L"VID-IDA", L"ok"}));
}

TEST(ParseSteps, RefusesUnknownStepsAndMissingArguments) {
    std::vector<Step> steps;
    std::wstring error;
    EXPECT_FALSE(ParseSteps({L"wait", L"X", L"frobnicate"}, steps, error));
    EXPECT_NE(error.find(L"frobnicate"), std::wstring::npos);
    error.clear();
    EXPECT_FALSE(ParseSteps({L"answer", L"VID-IDA"}, steps, error));
    EXPECT_NE(error.find(L"answer"), std::wstring::npos);
    EXPECT_EQ(ArgumentCount(L"list"), 0);
    EXPECT_EQ(ArgumentCount(L"close"), 0);
    EXPECT_EQ(ArgumentCount(L"key"), 2);
    EXPECT_EQ(ArgumentCount(L"until"), 2);
    EXPECT_EQ(ArgumentCount(L"nothing"), -1);
}

class ScriptFile : public ::testing::Test {
protected:
    void Write(const std::string& bytes) {
        FILE* f = _wfopen(path.c_str(), L"wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    void TearDown() override { DeleteFileW(path.c_str()); }

    std::wstring path = L"robot_test_script.txt";
    std::vector<std::wstring> words;
    std::wstring error;
};

TEST_F(ScriptFile, WordsQuotesAndComments) {
    Write(
        "\xEF\xBB\xBF# a comment line\r\n"
        "timeout 10   # trailing comment\n"
        "wait \"Confirm Extracting\"\n"
        "settext 109 \"C:\\Program Files\\x\"\n"
        "wait \"\xE5\xB1\x95\xE9\x96\x8B\"\n"
        "echo \"\"\n");
    ASSERT_TRUE(ReadScriptWords(path, words, error));
    const std::vector<std::wstring> expected = {L"timeout",
                                                L"10",
                                                L"wait",
                                                L"Confirm Extracting",
                                                L"settext",
                                                L"109",
                                                L"C:\\Program Files\\x",
                                                L"wait",
                                                L"展開",
                                                L"echo",
                                                L""};
    EXPECT_EQ(words, expected);
}

TEST_F(ScriptFile, QuoteMustCloseOnItsLine) {
    Write("wait \"Confirm\nExtracting\"\n");
    EXPECT_FALSE(ReadScriptWords(path, words, error));
    EXPECT_NE(error.find(L"quote"), std::wstring::npos);
}

TEST_F(ScriptFile, MissingFileIsReported) {
    EXPECT_FALSE(ReadScriptWords(L"no such script.txt", words, error));
    EXPECT_NE(error.find(L"cannot read"), std::wstring::npos);
}

}  // namespace
