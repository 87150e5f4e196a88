#include "options.h"

#include <cstring>

#include "codepage.h"
#include "file_io.h"
#include "package_file.h"
#include "version_strings.h"

namespace mksfx {
namespace {

// An option that fills one text field of the block.
struct TextOption {
    const char* name;
    size_t offset;
    size_t width;
};

constexpr TextOption kTextOptions[] = {
    {"--dest", offsetof(SfxConfig, destination), sizeof(SfxConfig::destination)},
    {"--run", offsetof(SfxConfig, command), sizeof(SfxConfig::command)},
    {"--title", offsetof(SfxConfig, title), sizeof(SfxConfig::title)},
    {"--question", offsetof(SfxConfig, question), sizeof(SfxConfig::question)},
};
constexpr size_t kTextCount = sizeof kTextOptions / sizeof kTextOptions[0];

// An option without value that sets one 32-bit flag of the block; in a
// package file "no" sets the other value.
struct FlagOption {
    const char* name;
    int32_t SfxConfig::*field;
    int32_t value;
};

constexpr FlagOption kFlagOptions[] = {
    {"--no-confirm", &SfxConfig::noConfirm, 1},
    {"--open-folder", &SfxConfig::openFolder, 1},
    {"--no-open-folder", &SfxConfig::openFolder, 0},
    {"--remove-after-run", &SfxConfig::removeAfterRun, 1},
    {"--skip-dialog", &SfxConfig::skipDestinationDialog, 1},
};

// Options with a value besides the texts.
constexpr const char* kValueOptions[] = {
    "-o",          "--output", "--module", "--variant", "--icon",  "--version",  "-C",
    "--directory", "--config", "--info",   "--method",  "--level", "--codepage", "--mtime",
};

// Package-file keys that name files: relative to the package file.
constexpr const char* kPathKeys[] = {"output", "module", "icon", "directory"};

int FindText(const std::string& name) {
    for (size_t i = 0; i < kTextCount; i++)
        if (name == kTextOptions[i].name) return static_cast<int>(i);
    return -1;
}

const FlagOption* FindFlag(const std::string& name) {
    for (const FlagOption& flag : kFlagOptions)
        if (name == flag.name) return &flag;
    return nullptr;
}

bool IsFlag(const std::string& name) {
    return FindFlag(name) != nullptr || name == "--crc" || name == "--best";
}

bool TakesValue(const std::string& name) {
    if (FindText(name) >= 0) return true;
    for (const char* option : kValueOptions)
        if (name == option) return true;
    return false;
}

bool IsArchiveName(const std::string& name) {
    if (name.size() < 5) return false;
    std::string extension = name.substr(name.size() - 4);
    for (char& c : extension) c = static_cast<char>(c | 0x20);
    return extension == ".lzh" || extension == ".lha";
}

// Reads the words of the command line and the settings of a package file
// into options; the one that comes later wins.
class Parser {
public:
    Parser(PackageOptions& options, std::string& error) : options_(options), error_(error) {}

    bool Apply(const std::string& name, const std::string& value);
    bool ApplyFlag(const std::string& name, bool on);
    void AddInput(const std::string& input) { (fromFile_ ? fileInputs_ : lineInputs_).push_back(input); }
    bool ReadFile(const std::string& path);
    bool Finish();

private:
    bool SetVersion(const std::string& assignment);
    bool ConvertTexts();
    bool Fail(const std::string& message) {
        error_ = message;
        return false;
    }

    PackageOptions& options_;
    std::string& error_;
    std::string texts_[kTextCount];  // UTF-8, converted by Finish
    bool fromFile_ = false;
    bool packingGiven_ = false;  // --method, --level, --best or --mtime
    std::vector<std::string> fileInputs_, lineInputs_;
    std::string fileFolder_, lineFolder_;
    bool lineFolderGiven_ = false;
};

bool Parser::ApplyFlag(const std::string& name, bool on) {
    if (const FlagOption* flag = FindFlag(name))
        options_.config.*flag->field = on ? flag->value : 1 - flag->value;
    else if (name == "--crc")
        options_.computeCrc = on;
    else {
        options_.pack.encode.best = on;
        packingGiven_ = true;
    }
    return true;
}

bool Parser::Apply(const std::string& name, const std::string& value) {
    if (IsFlag(name)) return ApplyFlag(name, true);
    if (const int text = FindText(name); text >= 0) {
        texts_[text] = value;
        return true;
    }
    if (name == "-o" || name == "--output") {
        options_.output = value;
    } else if (name == "--module") {
        options_.module = value;
    } else if (name == "--icon") {
        options_.icon = value;
    } else if (name == "--info") {
        options_.info = value;
    } else if (name == "-C" || name == "--directory") {
        (fromFile_ ? fileFolder_ : lineFolder_) = value;
        lineFolderGiven_ = lineFolderGiven_ || !fromFile_;
    } else if (name == "--variant") {
        if (value != "3" && value != "6") return Fail("--variant must be 3 or 6, not " + value);
        options_.config.variant = value[0];
    } else if (name == "--version") {
        return SetVersion(value);
    } else {
        const char* words[] = {name.c_str(), value.c_str()};
        int at = 0;
        if (pack::ParsePackOption(2, words, at, options_.pack, error_) <= 0)
            return error_.empty() ? Fail("unknown option " + name + " (see --help)") : false;
        packingGiven_ = packingGiven_ || name != "--codepage";  // the code page is the texts' too
    }
    return true;
}

bool Parser::SetVersion(const std::string& assignment) {
    const size_t equals = assignment.find('=');
    const std::string key = assignment.substr(0, equals);
    const char* name = CanonicalVersionName(key);
    if (equals == std::string::npos || name == nullptr) {
        std::string names;
        for (const char* known : kVersionStringNames) names += std::string(names.empty() ? "" : ", ") + known;
        return Fail("--version " + assignment + ": give NAME=VALUE with NAME one of " + names);
    }
    const std::string value = assignment.substr(equals + 1);
    uint32_t high = 0, low = 0;
    if ((std::strcmp(name, "FileVersion") == 0 || std::strcmp(name, "ProductVersion") == 0) &&
        !ParseVersionNumber(value, high, low))
        return Fail(std::string("--version ") + name + "=" + value +
                    ": must start with a number such as 1.2.3.4");
    for (auto& [known, old] : options_.version) {
        if (known == name) {
            old = value;
            return true;
        }
    }
    options_.version.emplace_back(name, value);
    return true;
}

bool Parser::ReadFile(const std::string& path) {
    PackageFile file;
    if (!ReadPackageFile(path, file, error_)) return false;
    const std::filesystem::path folder = PathFromUtf8(path).parent_path();
    const auto resolve = [&](const std::string& value) {
        return value.empty() ? value : Utf8FromPath(folder / PathFromUtf8(value));
    };
    fromFile_ = true;
    fileFolder_ = Utf8FromPath(folder);
    for (const PackageFileLine& setting : file.settings) {
        const std::string where = path + ":" + std::to_string(setting.line) + ": ";
        if (setting.section == "version") {
            if (!SetVersion(setting.key + "=" + setting.value)) return Fail(where + error_);
            continue;
        }
        const std::string name = "--" + setting.key;
        if (IsFlag(name)) {
            const std::string& v = setting.value;
            const bool yes = v == "yes" || v == "true" || v == "1" || v == "on";
            if (!yes && v != "no" && v != "false" && v != "0" && v != "off")
                return Fail(where + setting.key + " takes yes or no, not '" + v + "'");
            ApplyFlag(name, yes);
            continue;
        }
        if (!TakesValue(name) || name == "--config" || name == "--info")
            return Fail(where + "unknown setting '" + setting.key + "'");
        bool isPath = false;
        for (const char* key : kPathKeys) isPath = isPath || setting.key == key;
        if (!Apply(name, isPath ? resolve(setting.value) : setting.value)) return Fail(where + error_);
    }
    for (const PackageFileLine& line : file.files) AddInput(line.key);
    fromFile_ = false;
    return true;
}

bool Parser::ConvertTexts() {
    for (size_t i = 0; i < kTextCount; i++) {
        const TextOption& option = kTextOptions[i];
        std::string converted, why;
        if (!pack::ConvertFromUtf8(texts_[i], options_.pack.codePage, converted, why))
            return Fail(std::string(option.name) + ": " + why);
        char* field = reinterpret_cast<char*>(&options_.config) + option.offset;
        if (!SetTextField(field, option.width, converted))
            return Fail(std::string(option.name) + " text is " + std::to_string(converted.size()) +
                        " bytes long in code page " + std::to_string(options_.pack.codePage) +
                        "; its field holds at most " + std::to_string(option.width - 1));
    }
    return true;
}

bool Parser::Finish() {
    // Files named on the command line replace the package file's, with
    // their folder; -C alone moves the package file's.
    if (!lineInputs_.empty()) {
        options_.inputs = lineInputs_;
        options_.inputFolder = lineFolder_;
    } else {
        options_.inputs = fileInputs_;
        options_.inputFolder = lineFolderGiven_ ? lineFolder_ : fileFolder_;
    }
    if (!options_.info.empty()) {
        if (!options_.output.empty() || !options_.inputs.empty())
            return Fail("--info reads a package; give it no output and no files");
        return true;
    }
    if (options_.inputs.size() == 1 && IsArchiveName(options_.inputs[0])) {
        options_.archive =
            Utf8FromPath(PathFromUtf8(options_.inputFolder) / PathFromUtf8(options_.inputs[0]));
        options_.inputs.clear();
        if (packingGiven_)
            options_.notes.push_back("--method, --level, --best and --mtime apply to files mksfx packs; " +
                                     options_.archive + " is packaged as it is");
    }
    if (!ConvertTexts()) return false;
    if (options_.output.empty()) return Fail("no output file given (-o OUT.exe)");
    if (options_.archive.empty() && options_.inputs.empty()) return Fail("no files to pack given");
    return true;
}

}  // namespace

ParseOutcome ParseOptions(int argc, const char* const* argv, PackageOptions& options, std::string& error) {
    options = PackageOptions{};
    error.clear();
    Parser parser(options, error);
    if (!pack::ReadSourceDateEpoch(options.pack, error)) return ParseOutcome::kError;

    // First the package file, so that the command line is read over it.
    std::string config;
    for (int i = 1; i < argc; i++) {
        const std::string arg = argv[i];
        if (arg == "--") break;
        if (arg == "--help" || arg == "-h") return ParseOutcome::kHelp;
        if (arg == "--config" && i + 1 < argc) {
            if (!config.empty()) {
                error = "--config given twice";
                return ParseOutcome::kError;
            }
            config = argv[i + 1];
        }
        if (TakesValue(arg)) i++;
    }
    if (!config.empty() && !parser.ReadFile(config)) return ParseOutcome::kError;

    bool optionsEnded = false;
    for (int i = 1; i < argc; i++) {
        const std::string arg = argv[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            parser.AddInput(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (IsFlag(arg)) {
            parser.ApplyFlag(arg, true);
            continue;
        }
        if (!TakesValue(arg)) {
            error = "unknown option " + arg + " (see --help)";
            return ParseOutcome::kError;
        }
        if (i + 1 >= argc) {
            error = "option " + arg + " needs a value";
            return ParseOutcome::kError;
        }
        const std::string value = argv[++i];
        if (arg != "--config" && !parser.Apply(arg, value)) return ParseOutcome::kError;
    }
    if (!parser.Finish()) return ParseOutcome::kError;
    return options.info.empty() ? ParseOutcome::kPackage : ParseOutcome::kInfo;
}

const char* UsageText() {
    return "usage: mksfx -o OUT.exe [options] FILES-OR-FOLDERS...\n"
           "       mksfx -o OUT.exe [options] ARCHIVE.lzh\n"
           "       mksfx --config PACKAGE.ini [options] [FILES-OR-FOLDERS...]\n"
           "       mksfx --info PACKAGE.exe [--codepage 932|1252]\n"
           "\n"
           "Writes OUT.exe: the self-extracting module, a 512-byte configuration block\n"
           "and an LHA archive, in this order.  The archive is made from the files and\n"
           "folders given (a folder with everything below it, stored under the names\n"
           "as given), or is ARCHIVE.lzh (or .lha) when that is given alone.\n"
           "\n"
           "Package:\n"
           "  -o, --output FILE    the self-extracting file to write\n"
           "  --module FILE        the self-extracting module (default: sfx.exe beside\n"
           "                       mksfx, or build/win32/sfx.exe for build/host/mksfx);\n"
           "                       its image must end at its file size\n"
           "  --config FILE        read settings and files from a package file (see\n"
           "                       examples/package.ini); paths in it are relative to\n"
           "                       it, and the command line wins\n"
           "  -C, --directory DIR  FILES-OR-FOLDERS are found in DIR (their stored\n"
           "                       names stay as given)\n"
           "\n"
           "What the package does (texts in UTF-8, stored in the code page; their\n"
           "limits count the converted bytes):\n"
           "  --dest TEXT          destination folder (at most 259 bytes); may start\n"
           "                       with %temp%, %Desktop%, %MyDocuments%,\n"
           "                       %ProgramFiles%, %SystemDir% or %WinDir%; empty (the\n"
           "                       default) means the package's own folder\n"
           "  --run COMMAND        command to start after extraction, relative to the\n"
           "                       destination, with arguments (at most 127 bytes);\n"
           "                       an .inf file is installed through rundll32\n"
           "  --no-confirm         create the destination and replace existing files\n"
           "                       without asking\n"
           "  --open-folder        open the destination in Explorer after a run\n"
           "                       without --run (the default)\n"
           "  --no-open-folder     do not open the destination\n"
           "  --remove-after-run   wait for the command, then delete what was\n"
           "                       extracted (the module ignores it without --run)\n"
           "  --skip-dialog        do not show the destination dialog\n"
           "  --title TEXT         caption of the question box (at most 31 bytes)\n"
           "  --question TEXT      yes/no question asked first (at most 63 bytes);\n"
           "                       empty (the default) asks nothing\n"
           "  --variant 3|6        3 (default): any Windows; 6: needs 64-bit Windows\n"
           "                       and runs an .inf command without WOW64 redirection\n"
           "  --crc                store the CRC-32 of the archive bytes, which the\n"
           "                       module verifies before extracting\n"
           "\n"
           "Archive (made with the project's own encoder):\n"
           "  --method lh0|lh5|lh6|lh7   compression (default lh7; lh0 stores; a file\n"
           "                             that would not shrink is always stored)\n"
           "  --level 0|1|2              header level (default 2)\n"
           "  --best                     smaller and slower: optimal parsing\n"
           "  --codepage 932|1252        code page of the names and texts (default 932,\n"
           "                             Japanese; 1252 Western)\n"
           "  --mtime TIME               time of every entry: seconds since 1970 or\n"
           "                             YYYY-MM-DD[THH:MM[:SS]] (UTC); SOURCE_DATE_EPOCH\n"
           "                             sets later times back to it\n"
           "\n"
           "Branding:\n"
           "  --icon FILE.ico      the package's icon: every image of the file\n"
           "                       replaces the module's own icon\n"
           "  --version NAME=TEXT  a string of the version block, in every language it\n"
           "                       has: ProductName, FileDescription, CompanyName,\n"
           "                       FileVersion, ProductVersion, LegalCopyright (also\n"
           "                       Comments, InternalName, OriginalFilename,\n"
           "                       LegalTrademarks, PrivateBuild, SpecialBuild);\n"
           "                       FileVersion and ProductVersion start with numbers\n"
           "                       (1.2.3.4), which also go into the fixed file info;\n"
           "                       repeatable\n"
           "\n"
           "Inspection:\n"
           "  --info PACKAGE       show a package's settings, whether its CRC-32\n"
           "                       matches, whether it is signed, and its entries\n"
           "                       (names shown from --codepage)\n"
           "  -h, --help           show this text\n"
           "\n"
           "Exit status 2, with a one-line message: a fault in the command line or the\n"
           "package file, such as a text longer than its field, a text the code page\n"
           "cannot hold, or no files.\n"
           "Exit status 1, with a one-line message and nothing written: a module that\n"
           "is not a PE image or whose image does not end at its file size, a name\n"
           "the code page cannot hold or Windows refuses, an archive in which no LHA\n"
           "entry header is found, an icon file that is not one, an output of 2 GiB\n"
           "or more, an output that names one of the inputs, a module in whose image\n"
           "the module's own scan would find a header before the archive, or a\n"
           "failed write.  --info: 1 when the file is no package or its CRC-32 or\n"
           "archive is damaged.\n";
}

}  // namespace mksfx
