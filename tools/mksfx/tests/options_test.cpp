#include "options.h"

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "config_block.h"

namespace {

using mksfx::PackageOptions;
using mksfx::ParseOutcome;

struct Parsed {
    ParseOutcome outcome;
    PackageOptions options;
    std::string error;
};

Parsed Parse(std::initializer_list<std::string> args) {
    std::vector<std::string> words{"mksfx"};
    words.insert(words.end(), args);
    std::vector<const char*> argv;
    for (const std::string& w : words) argv.push_back(w.c_str());
    Parsed p;
    p.outcome = mksfx::ParseOptions(static_cast<int>(argv.size()), argv.data(), p.options, p.error);
    return p;
}

TEST(Options, DefaultsMakeAPlainBlock) {
    const Parsed p = Parse({"-o", "out.exe", "--module", "sfx.exe", "a.lzh"});
    ASSERT_EQ(p.outcome, ParseOutcome::kPackage) << p.error;
    EXPECT_EQ(p.options.output, "out.exe");
    EXPECT_EQ(p.options.module, "sfx.exe");
    EXPECT_EQ(p.options.archive, "a.lzh");
    EXPECT_FALSE(p.options.computeCrc);
    const mksfx::SfxConfig& c = p.options.config;
    EXPECT_EQ(std::string(c.signature, 6), "ORVANE");
    EXPECT_EQ(c.variant, '3');
    EXPECT_EQ(c.terminator, 0);
    EXPECT_STREQ(c.destination, "");
    EXPECT_STREQ(c.command, "");
    EXPECT_EQ(c.noConfirm, 0);
    EXPECT_EQ(c.openFolder, 1);
    EXPECT_EQ(c.removeAfterRun, 0);
    EXPECT_EQ(c.skipDestinationDialog, 0);
    EXPECT_EQ(c.expectedCrc, 0u);
    EXPECT_STREQ(c.title, "");
    EXPECT_STREQ(c.question, "");
}

TEST(Options, EveryOptionFillsItsField) {
    const Parsed p = Parse({"--dest",
                            "%temp%",
                            "--run",
                            "setup.exe /q",
                            "--no-confirm",
                            "--no-open-folder",
                            "--remove-after-run",
                            "--skip-dialog",
                            "--title",
                            "My Product",
                            "--question",
                            "Install it?",
                            "--variant",
                            "6",
                            "--crc",
                            "-o",
                            "out.exe",
                            "--module",
                            "sfx.exe",
                            "a.lzh"});
    ASSERT_EQ(p.outcome, ParseOutcome::kPackage) << p.error;
    const mksfx::SfxConfig& c = p.options.config;
    EXPECT_STREQ(c.destination, "%temp%");
    EXPECT_STREQ(c.command, "setup.exe /q");
    EXPECT_EQ(c.noConfirm, 1);
    EXPECT_EQ(c.openFolder, 0);
    EXPECT_EQ(c.removeAfterRun, 1);
    EXPECT_EQ(c.skipDestinationDialog, 1);
    EXPECT_STREQ(c.title, "My Product");
    EXPECT_STREQ(c.question, "Install it?");
    EXPECT_EQ(c.variant, '6');
    EXPECT_TRUE(p.options.computeCrc);
}

TEST(Options, LaterOptionsWin) {
    Parsed p = Parse({"--no-open-folder", "--open-folder", "--title", "a", "--title", "b", "--output",
                      "x.exe", "-o", "y.exe", "--module", "m", "a.lzh"});
    ASSERT_EQ(p.outcome, ParseOutcome::kPackage) << p.error;
    EXPECT_EQ(p.options.config.openFolder, 1);
    EXPECT_STREQ(p.options.config.title, "b");
    EXPECT_EQ(p.options.output, "y.exe");
}

TEST(Options, DoubleDashEndsOptions) {
    const Parsed p = Parse({"-o", "x.exe", "--module", "m", "--", "-odd.lzh"});
    ASSERT_EQ(p.outcome, ParseOutcome::kPackage) << p.error;
    EXPECT_EQ(p.options.archive, "-odd.lzh");
}

// Each text option takes its field's width less one byte and refuses more,
// naming itself and leaving the field as it was.
TEST(Options, TextsMustFitTheirFields) {
    struct Case {
        const char* option;
        size_t width;
        size_t offset;
    };
    const Case cases[] = {
        {"--dest", 260, offsetof(mksfx::SfxConfig, destination)},
        {"--run", 128, offsetof(mksfx::SfxConfig, command)},
        {"--title", 32, offsetof(mksfx::SfxConfig, title)},
        {"--question", 64, offsetof(mksfx::SfxConfig, question)},
    };
    for (const Case& c : cases) {
        const std::string fits(c.width - 1, 'x');
        Parsed p = Parse({c.option, fits, "-o", "o", "--module", "m", "a"});
        ASSERT_EQ(p.outcome, ParseOutcome::kPackage) << c.option << ": " << p.error;
        const char* field = reinterpret_cast<const char*>(&p.options.config) + c.offset;
        EXPECT_EQ(std::string(field), fits) << c.option;
        EXPECT_EQ(field[c.width - 1], '\0') << c.option;

        p = Parse({c.option, std::string(c.width, 'y'), "-o", "o", "--module", "m", "a"});
        EXPECT_EQ(p.outcome, ParseOutcome::kError) << c.option;
        EXPECT_NE(p.error.find(c.option), std::string::npos) << p.error;
        EXPECT_NE(p.error.find(std::to_string(c.width - 1)), std::string::npos) << p.error;
        EXPECT_EQ(p.error.find('\n'), std::string::npos) << p.error;
    }
}

TEST(Options, VariantIsThreeOrSix) {
    EXPECT_EQ(Parse({"--variant", "3", "-o", "o", "--module", "m", "a"}).options.config.variant, '3');
    for (const char* bad : {"4", "", "36", "x"}) {
        const Parsed p = Parse({"--variant", bad, "-o", "o", "--module", "m", "a"});
        EXPECT_EQ(p.outcome, ParseOutcome::kError) << "variant '" << bad << "'";
    }
}

TEST(Options, CommandLineFaults) {
    const std::initializer_list<std::string> faulty[] = {
        {"--module", "m", "a"},                             // no output
        {"-o", "o", "--module", "m"},                       // no files
        {"-o", "o", "--module", "m", "--frobnicate", "a"},  // unknown option
        {"-o", "o", "--module", "m", "a", "--title"},       // value missing
        {"-o", "o", "--method", "lh9", "a"},
        {"-o", "o", "--codepage", "850", "a"},
        {"-o", "o", "--version", "Product=x", "a"},
        {"-o", "o", "--version", "FileVersion=beta", "a"},
        {"-o", "o", "--version", "ProductName", "a"},
        {"--info", "p.exe", "-o", "o"},
        {"--info", "p.exe", "a"},
    };
    for (const auto& args : faulty) {
        Parsed p = Parse(args);
        EXPECT_EQ(p.outcome, ParseOutcome::kError) << *args.begin();
        EXPECT_FALSE(p.error.empty());
    }
}

TEST(Options, HelpNamesEveryOption) {
    EXPECT_EQ(Parse({"--help"}).outcome, ParseOutcome::kHelp);
    EXPECT_EQ(Parse({"-o", "x", "-h"}).outcome, ParseOutcome::kHelp);
    const std::string usage = mksfx::UsageText();
    for (const char* option :
         {"--output", "--module", "--dest", "--run", "--no-confirm", "--open-folder", "--no-open-folder",
          "--remove-after-run", "--skip-dialog", "--title", "--question", "--variant", "--crc"})
        EXPECT_NE(usage.find(option), std::string::npos) << option;
}

}  // namespace
