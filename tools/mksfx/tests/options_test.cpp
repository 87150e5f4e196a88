#include "options.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "config_block.h"
#include "option_table.h"
#include "test_files.h"

namespace {

using mksfx::PackageOptions;
using mksfx::ParseOutcome;

struct Parsed {
    ParseOutcome outcome;
    PackageOptions options;
    std::string error;
};

Parsed Parse(const std::vector<std::string>& args) {
    std::vector<std::string> words{"mksfx"};
    words.insert(words.end(), args.begin(), args.end());
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

// --threads and --quiet from a package file, the command line over it;
// neither changes the archive, so neither is noted beside one given alone.
TEST(Options, ThreadsAndQuietChangeNoByte) {
    TempFolder folder;
    WriteText(folder / "p.ini", "[package]\nthreads = 3\nquiet = yes\n[files]\na.lzh\n");
    const std::string ini = (folder / "p.ini").string();
    Parsed p = Parse({"--config", ini, "-o", "o.exe"});
    ASSERT_EQ(p.outcome, ParseOutcome::kPackage) << p.error;
    EXPECT_EQ(p.options.pack.threads, 3u);
    EXPECT_TRUE(p.options.pack.quiet);
    EXPECT_TRUE(p.options.notes.empty());
    p = Parse({"--config", ini, "-o", "o.exe", "--threads", "1"});
    EXPECT_EQ(p.options.pack.threads, 1u);
    p = Parse({"-o", "o.exe", "--threads", "65", "a.lzh"});
    EXPECT_EQ(p.outcome, ParseOutcome::kError);
    EXPECT_EQ(p.error, "--threads 65: give a number from 1 to 64");
    p = Parse({"-o", "o.exe", "--best", "a.lzh"});
    EXPECT_EQ(p.options.notes.size(), 1u);
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
    const std::vector<std::string> faulty[] = {
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

// The option table against the parser: every option, under each of its
// names, on the command line and as a package-file key.
class OptionTable : public ::testing::Test {
protected:
    void SetUp() override { WriteText(folder / "empty.ini", "[package]\n"); }

    // A value the parser takes for each option with one; a new option
    // needs one here.
    std::string ValueOf(const pack::OptionSpec& spec) const {
        const std::map<std::string, std::string> values = {
            {"--output", "x.exe"},        {"--module", "m.exe"},      {"--config", (folder / "empty.ini").string()},
            {"--dest", "%temp%"},         {"--run", "setup.exe /q"},  {"--title", "Title"},
            {"--question", "Go on?"},     {"--variant", "6"},         {"--method", "lh5"},
            {"--level", "1"},             {"--codepage", "1252"},     {"--mtime", "2020-01-02"},
            {"--directory", "d"},         {"--icon", "a.ico"},        {"--version", "ProductName=P"},
            {"--info", "p.exe"},          {"--threads", "2"}};
        const auto found = values.find(spec.longName);
        EXPECT_EQ(spec.value != nullptr, found != values.end()) << spec.longName << ": no test value";
        return found != values.end() ? found->second : "";
    }

    template <typename Check>
    void ForEachOption(Check check) {
        for (const pack::OptionGroup& group : mksfx::OptionGroups())
            for (const pack::OptionSpec& spec : group.options) {
                ASSERT_NE(spec.longName, nullptr);
                ASSERT_TRUE(spec.tools & pack::kToolMksfx) << spec.longName;
                check(spec);
            }
    }

    TempFolder folder;
};

TEST_F(OptionTable, EveryOptionIsTakenUnderEachName) {
    ForEachOption([&](const pack::OptionSpec& spec) {
        const std::string value = ValueOf(spec);
        for (const char* name : {spec.shortName, spec.longName}) {
            if (name == nullptr) continue;
            std::vector<std::string> args{name};
            if (spec.value != nullptr) args.push_back(value);
            if (std::strcmp(spec.longName, "--help") == 0) {
                EXPECT_EQ(Parse(args).outcome, ParseOutcome::kHelp) << name;
                continue;
            }
            if (std::strcmp(spec.longName, "--info") == 0) {
                const Parsed p = Parse(args);
                EXPECT_EQ(p.outcome, ParseOutcome::kInfo) << name << ": " << p.error;
                EXPECT_EQ(p.options.info, value);
                continue;
            }
            args.insert(args.begin(), {"-o", "o.exe", "--module", "m.exe"});
            args.push_back("a.lzh");
            const Parsed p = Parse(args);
            EXPECT_EQ(p.outcome, ParseOutcome::kPackage) << name << ": " << p.error;
        }
        // A value missing at the end is a fault, not a flag.
        if (spec.value != nullptr) {
            const Parsed p = Parse({"-o", "o.exe", "--module", "m.exe", "a.lzh", spec.longName});
            EXPECT_EQ(p.outcome, ParseOutcome::kError) << spec.longName;
            EXPECT_NE(p.error.find("needs a value"), std::string::npos) << p.error;
        }
    });
}

// Package-file keys are the long options without dashes; the options
// without a key are refused as settings.
TEST_F(OptionTable, PackageFileKeysAreTheLongNames) {
    int keys = 0;
    ForEachOption([&](const pack::OptionSpec& spec) {
        const std::string key = std::string(spec.longName).substr(2);
        const std::string value = spec.value != nullptr ? ValueOf(spec) : "yes";
        WriteText(folder / "p.ini", "[package]\n" + key + " = " + value + "\n[files]\na.lzh\n");
        const Parsed p = Parse({"--config", (folder / "p.ini").string(), "-o", "o.exe", "--module", "m.exe"});
        if (spec.key == nullptr) {
            EXPECT_EQ(p.outcome, ParseOutcome::kError) << key;
            EXPECT_NE(p.error.find("p.ini:2: unknown setting '" + key + "'"), std::string::npos) << p.error;
            return;
        }
        keys++;
        EXPECT_EQ(key, spec.key);
        EXPECT_EQ(p.outcome, ParseOutcome::kPackage) << key << ": " << p.error;
        if (spec.value == nullptr) {
            WriteText(folder / "p.ini", "[package]\n" + key + " = maybe\n[files]\na.lzh\n");
            const Parsed bad =
                Parse({"--config", (folder / "p.ini").string(), "-o", "o.exe", "--module", "m.exe"});
            EXPECT_NE(bad.error.find(key + " takes yes or no"), std::string::npos) << bad.error;
        }
    });
    EXPECT_GT(keys, 0);
}

// --help lists every option with its help, in lines of at most 79
// columns; the limits it names are those the parser holds texts to.
TEST_F(OptionTable, HelpShowsEveryOptionAndItsLimit) {
    const std::string usage = mksfx::UsageText();
    for (size_t start = 0, end; start < usage.size(); start = end + 1) {
        end = usage.find('\n', start);
        EXPECT_LE(end - start, 79u) << usage.substr(start, end - start);
    }
    const std::string table = pack::FormatOptionTable(mksfx::OptionGroups());
    int limits = 0;
    ForEachOption([&](const pack::OptionSpec& spec) {
        EXPECT_NE(usage.find("  " + pack::OptionLabel(spec) + " "), std::string::npos) << spec.longName;
        const std::string help = pack::OptionHelp(spec);
        EXPECT_NE(usage.find(help.substr(0, help.find(' ', 16))), std::string::npos) << spec.longName;
        std::string row = "| `";
        for (const char c : pack::OptionLabel(spec)) row += c == '|' ? std::string("\\|") : std::string(1, c);
        EXPECT_NE(table.find(row + "` |"), std::string::npos) << row;
        EXPECT_EQ(help.find("{max}"), std::string::npos) << spec.longName;
        if (spec.limit == 0) return;
        limits++;
        EXPECT_NE(usage.find("at most " + std::to_string(spec.limit) + " bytes"), std::string::npos)
            << spec.longName;
        Parsed p = Parse({spec.longName, std::string(spec.limit, 'x'), "-o", "o", "--module", "m", "a"});
        EXPECT_EQ(p.outcome, ParseOutcome::kPackage) << spec.longName << ": " << p.error;
        p = Parse({spec.longName, std::string(spec.limit + 1, 'x'), "-o", "o", "--module", "m", "a"});
        EXPECT_EQ(p.outcome, ParseOutcome::kError) << spec.longName;
    });
    EXPECT_EQ(limits, 4);  // --dest, --run, --title, --question
}

}  // namespace
