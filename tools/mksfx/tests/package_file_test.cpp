// Package files: the syntax, their settings read as options with paths
// relative to the file, and the command line read over them.
#include "package_file.h"

#include <gtest/gtest.h>

#include "options.h"
#include "test_files.h"

namespace {

namespace fs = std::filesystem;
using mksfx::PackageFile;

TEST(PackageFileSyntax, SectionsSettingsFilesAndComments) {
    const std::string text =
        "\xEF\xBB\xBF; a comment\r\n"
        "[Package]\r\n"
        "  Title =  Spaced  \r\n"
        "question = \"  kept  \"\n"
        "# another comment\n"
        "dest=a=b\n"
        "\n"
        "[version]\n"
        "ProductName = X ; not a comment\n"
        "[files]\n"
        "  docs/readme.txt  \n"
        "folder with blanks";
    PackageFile file;
    std::string error;
    ASSERT_TRUE(mksfx::ParsePackageFile(text, "p.ini", file, error)) << error;
    ASSERT_EQ(file.settings.size(), 4u);
    EXPECT_EQ(file.settings[0].key, "title");
    EXPECT_EQ(file.settings[0].value, "Spaced");
    EXPECT_EQ(file.settings[0].line, 3);
    EXPECT_EQ(file.settings[1].value, "  kept  ");
    EXPECT_EQ(file.settings[2].key, "dest");
    EXPECT_EQ(file.settings[2].value, "a=b");
    EXPECT_EQ(file.settings[3].section, "version");
    EXPECT_EQ(file.settings[3].key, "ProductName");
    EXPECT_EQ(file.settings[3].value, "X ; not a comment");
    ASSERT_EQ(file.files.size(), 2u);
    EXPECT_EQ(file.files[0].key, "docs/readme.txt");
    EXPECT_EQ(file.files[1].key, "folder with blanks");
    EXPECT_EQ(file.files[1].line, 12);
}

TEST(PackageFileSyntax, FaultsNameTheLine) {
    const std::pair<const char*, const char*> bad[] = {
        {"title = x\n", "p.ini:1: a line before the first section"},
        {"[package]\n\n[other]\n", "p.ini:3: unknown section [other]"},
        {"[package]\ntitle\n", "p.ini:2: a setting needs '='"},
        {"[package]\n = x\n", "p.ini:2: a setting without a name"},
        {"[package\n", "p.ini:1: a section name ends with ']'"},
    };
    for (const auto& [text, message] : bad) {
        PackageFile file;
        std::string error;
        EXPECT_FALSE(mksfx::ParsePackageFile(text, "p.ini", file, error)) << text;
        EXPECT_EQ(error.rfind(message, 0), 0u) << error;
    }
}

class PackageFileOptions : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(folder / "pkg" / "payload");
        WriteText(folder / "pkg" / "package.ini",
                  "[package]\n"
                  "output = out/p.exe\n"
                  "module = ../sfx.exe\n"
                  "icon = app.ico\n"
                  "directory = payload\n"
                  "title = Sample\n"
                  "question = Install?\n"
                  "no-confirm = yes\n"
                  "open-folder = no\n"
                  "crc = on\n"
                  "best = yes\n"
                  "method = lh6\n"
                  "level = 1\n"
                  "codepage = 1252\n"
                  "variant = 6\n"
                  "[version]\n"
                  "productname = Sample Product\n"
                  "FileVersion = 1.2.3.4\n"
                  "[files]\n"
                  "readme.txt\n"
                  "docs\n");
    }

    mksfx::ParseOutcome Parse(std::vector<std::string> args) {
        args.insert(args.begin(), {"mksfx", "--config", Ini()});
        std::vector<const char*> argv;
        for (const std::string& a : args) argv.push_back(a.c_str());
        return mksfx::ParseOptions(static_cast<int>(argv.size()), argv.data(), options, error);
    }

    std::string Ini() const { return (folder / "pkg" / "package.ini").string(); }
    std::string In(const std::string& name) const { return (folder / "pkg" / name).string(); }

    TempFolder folder;
    mksfx::PackageOptions options;
    std::string error;
};

TEST_F(PackageFileOptions, SettingsAreOptionsWithPathsBesideTheFile) {
    ASSERT_EQ(Parse({}), mksfx::ParseOutcome::kPackage) << error;
    EXPECT_EQ(fs::path(options.output), fs::path(In("out/p.exe")));
    EXPECT_EQ(fs::path(options.module), fs::path(In("../sfx.exe")));
    EXPECT_EQ(fs::path(options.icon), fs::path(In("app.ico")));
    EXPECT_EQ(fs::path(options.inputFolder), fs::path(In("payload")));
    EXPECT_EQ(options.inputs, (std::vector<std::string>{"readme.txt", "docs"}));
    EXPECT_STREQ(options.config.title, "Sample");
    EXPECT_STREQ(options.config.question, "Install?");
    EXPECT_EQ(options.config.noConfirm, 1);
    EXPECT_EQ(options.config.openFolder, 0);
    EXPECT_EQ(options.config.variant, '6');
    EXPECT_TRUE(options.computeCrc);
    EXPECT_TRUE(options.pack.encode.best);
    EXPECT_EQ(options.pack.encode.headerLevel, 1);
    EXPECT_EQ(options.pack.codePage, 1252);
    using Strings = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(options.version, (Strings{{"ProductName", "Sample Product"}, {"FileVersion", "1.2.3.4"}}));
}

TEST_F(PackageFileOptions, TheCommandLineWins) {
    ASSERT_EQ(Parse({"--title", "Other", "--open-folder", "--codepage", "932", "--version",
                     "ProductName=Mine", "-o", "here.exe", "x.txt", "y"}),
              mksfx::ParseOutcome::kPackage)
        << error;
    EXPECT_STREQ(options.config.title, "Other");
    EXPECT_EQ(options.config.openFolder, 1);
    EXPECT_EQ(options.pack.codePage, 932);
    EXPECT_EQ(options.version[0].second, "Mine");
    EXPECT_EQ(options.output, "here.exe");
    // Files on the command line replace the file's list and its folder.
    EXPECT_EQ(options.inputs, (std::vector<std::string>{"x.txt", "y"}));
    EXPECT_EQ(options.inputFolder, "");

    // -C alone moves the file's list.
    ASSERT_EQ(Parse({"-C", "elsewhere"}), mksfx::ParseOutcome::kPackage) << error;
    EXPECT_EQ(options.inputs, (std::vector<std::string>{"readme.txt", "docs"}));
    EXPECT_EQ(options.inputFolder, "elsewhere");

    // An archive alone in [files] is taken as it is, beside the file.
    WriteText(folder / "pkg" / "package.ini", "[files]\nkit.lzh\n");
    ASSERT_EQ(Parse({"-o", "o.exe"}), mksfx::ParseOutcome::kPackage) << error;
    EXPECT_TRUE(options.inputs.empty());
    EXPECT_EQ(fs::path(options.archive), fs::path(In("kit.lzh")));
}

TEST_F(PackageFileOptions, FaultsNameTheFileAndLine) {
    const std::pair<const char*, const char*> bad[] = {
        {"[package]\nfrobnicate = 1\n", ":2: unknown setting 'frobnicate'"},
        {"[package]\ncrc = maybe\n", ":2: crc takes yes or no"},
        {"[package]\nvariant = 4\n", ":2: --variant must be 3 or 6"},
        {"[package]\nconfig = other.ini\n", ":2: unknown setting 'config'"},
        {"[version]\nFileVersion = soon\n", ":2: --version FileVersion=soon: must start with a number"},
        {"[package]\nmethod = lh1\n", ":2: --method lh1"},
    };
    for (const auto& [text, message] : bad) {
        WriteText(folder / "pkg" / "package.ini", text);
        EXPECT_EQ(Parse({"-o", "o.exe", "f"}), mksfx::ParseOutcome::kError) << text;
        EXPECT_EQ(error.rfind(Ini(), 0), 0u) << error;
        EXPECT_NE(error.find(message), std::string::npos) << error;
    }
    fs::remove(folder / "pkg" / "package.ini");
    EXPECT_EQ(Parse({"-o", "o.exe", "f"}), mksfx::ParseOutcome::kError);
    EXPECT_NE(error.find("cannot read the package file"), std::string::npos) << error;
}

TEST_F(PackageFileOptions, APackageFromTheFileAlone) {
    WriteBytes(folder / "sfx.exe", MakeModule());
    WriteText(folder / "pkg" / "payload" / "readme.txt", "read me\n");
    fs::create_directories(folder / "pkg" / "payload" / "docs");
    WriteText(
        folder / "pkg" / "package.ini",
        "[package]\noutput = p.exe\nmodule = ../sfx.exe\ndirectory = payload\ntitle = Café\ncodepage = 1252\n"
        "[files]\nreadme.txt\ndocs\n");
    const MksfxRun run = RunTool({"--config", Ini()}, folder / "");
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<Extracted> entries = ExtractPackage(folder / "pkg" / "p.exe");
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].name, "readme.txt");
    EXPECT_EQ(entries[1].name, "docs\\");
    const Bytes out = ReadBytes(folder / "pkg" / "p.exe");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&out[MakeModule().size() + 416])), "Caf\xE9");
}

}  // namespace
