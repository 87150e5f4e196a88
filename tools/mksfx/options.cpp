#include "options.h"

#include <cstring>

#include "codepage.h"
#include "file_io.h"
#include "option_table.h"
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

bool IsFlag(const pack::OptionSpec* option) { return option != nullptr && option->value == nullptr; }

bool TakesValue(const pack::OptionSpec* option) { return option != nullptr && option->value != nullptr; }

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

    // name: the option's long name
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
    else if (name == "--best") {
        options_.pack.encode.best = on;
        packingGiven_ = true;
    } else if (name == "--quiet")
        options_.pack.quiet = on;
    else
        return Fail("unknown option " + name + " (see --help)");
    return true;
}

bool Parser::Apply(const std::string& name, const std::string& value) {
    if (const int text = FindText(name); text >= 0) {
        texts_[text] = value;
        return true;
    }
    if (name == "--output") {
        options_.output = value;
    } else if (name == "--module") {
        options_.module = value;
    } else if (name == "--icon") {
        options_.icon = value;
    } else if (name == "--info") {
        options_.info = value;
    } else if (name == "--directory") {
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
        // The code page is the texts' too; the threads change no byte.
        packingGiven_ = packingGiven_ || (name != "--codepage" && name != "--threads");
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
        const pack::OptionSpec* option = FindPackageKey(setting.key);
        if (option == nullptr) return Fail(where + "unknown setting '" + setting.key + "'");
        const std::string name = option->longName;
        if (IsFlag(option)) {
            const std::string& v = setting.value;
            const bool yes = v == "yes" || v == "true" || v == "1" || v == "on";
            if (!yes && v != "no" && v != "false" && v != "0" && v != "off")
                return Fail(where + setting.key + " takes yes or no, not '" + v + "'");
            if (!ApplyFlag(name, yes)) return Fail(where + error_);
            continue;
        }
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
        const pack::OptionSpec* option = FindOption(arg);
        if (option != nullptr && std::strcmp(option->longName, "--help") == 0) return ParseOutcome::kHelp;
        if (arg == "--config" && i + 1 < argc) {
            if (!config.empty()) {
                error = "--config given twice";
                return ParseOutcome::kError;
            }
            config = argv[i + 1];
        }
        if (TakesValue(option)) i++;
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
        const pack::OptionSpec* option = FindOption(arg);
        if (option == nullptr) {
            error = "unknown option " + arg + " (see --help)";
            return ParseOutcome::kError;
        }
        const std::string name = option->longName;
        if (IsFlag(option)) {
            if (!parser.ApplyFlag(name, true)) return ParseOutcome::kError;
            continue;
        }
        if (i + 1 >= argc) {
            error = "option " + arg + " needs a value";
            return ParseOutcome::kError;
        }
        const std::string value = argv[++i];
        if (name != "--config" && !parser.Apply(name, value)) return ParseOutcome::kError;
    }
    if (!parser.Finish()) return ParseOutcome::kError;
    return options.info.empty() ? ParseOutcome::kPackage : ParseOutcome::kInfo;
}

}  // namespace mksfx
