#include "options.h"

#include <cstring>

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

// An option without value that sets one 32-bit flag of the block.
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

const TextOption* FindTextOption(const char* arg) {
    for (const TextOption& option : kTextOptions)
        if (std::strcmp(arg, option.name) == 0) return &option;
    return nullptr;
}

const FlagOption* FindFlagOption(const char* arg) {
    for (const FlagOption& option : kFlagOptions)
        if (std::strcmp(arg, option.name) == 0) return &option;
    return nullptr;
}

bool TakesValue(const char* arg) {
    return FindTextOption(arg) != nullptr || std::strcmp(arg, "-o") == 0 ||
           std::strcmp(arg, "--output") == 0 || std::strcmp(arg, "--module") == 0 ||
           std::strcmp(arg, "--variant") == 0;
}

}  // namespace

ParseOutcome ParseOptions(int argc, const char* const* argv, PackageOptions& options,
                          std::string& error) {
    bool optionsEnded = false;
    for (int i = 1; i < argc; i++) {
        const char* arg = argv[i];
        const bool isOption = !optionsEnded && arg[0] == '-' && arg[1] != '\0';
        if (!isOption) {
            if (!options.archive.empty()) {
                error = "more than one archive given: " + options.archive + ", " + arg;
                return ParseOutcome::kError;
            }
            options.archive = arg;
            continue;
        }
        if (std::strcmp(arg, "--") == 0) {
            optionsEnded = true;
            continue;
        }
        if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0)
            return ParseOutcome::kHelp;
        if (const FlagOption* flag = FindFlagOption(arg)) {
            options.config.*flag->field = flag->value;
            continue;
        }
        if (std::strcmp(arg, "--crc") == 0) {
            options.computeCrc = true;
            continue;
        }
        if (!TakesValue(arg)) {
            error = std::string("unknown option ") + arg + " (see --help)";
            return ParseOutcome::kError;
        }
        if (i + 1 >= argc) {
            error = std::string("option ") + arg + " needs a value";
            return ParseOutcome::kError;
        }
        const std::string value = argv[++i];
        if (const TextOption* text = FindTextOption(arg)) {
            char* field = reinterpret_cast<char*>(&options.config) + text->offset;
            if (!SetTextField(field, text->width, value)) {
                error = std::string(arg) + " text is " + std::to_string(value.size()) +
                        " bytes long; its field holds at most " +
                        std::to_string(text->width - 1);
                return ParseOutcome::kError;
            }
        } else if (std::strcmp(arg, "--variant") == 0) {
            if (value != "3" && value != "6") {
                error = "--variant must be 3 or 6, not " + value;
                return ParseOutcome::kError;
            }
            options.config.variant = value[0];
        } else if (std::strcmp(arg, "--module") == 0) {
            options.module = value;
        } else {
            options.output = value;
        }
    }
    if (options.output.empty()) error = "no output file given (-o OUT.exe)";
    else if (options.module.empty()) error = "no module given (--module SFX.exe)";
    else if (options.archive.empty()) error = "no archive given";
    return error.empty() ? ParseOutcome::kPackage : ParseOutcome::kError;
}

const char* UsageText() {
    return "usage: mksfx -o OUT.exe --module SFX.exe [options] ARCHIVE\n"
           "\n"
           "Writes OUT.exe: the module SFX.exe, a 512-byte configuration block and the\n"
           "LHA archive ARCHIVE, in this order.\n"
           "\n"
           "  -o, --output FILE    the self-extracting file to write\n"
           "  --module FILE        the self-extracting module; its image must end at\n"
           "                       its file size (a bare module, not a package)\n"
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
           "  -h, --help           show this text\n"
           "\n"
           "Texts are written byte for byte and must already be in the code page of\n"
           "the Windows system that runs the package (for Japanese, Shift-JIS:\n"
           "convert with iconv -t CP932 on Linux).\n"
           "\n"
           "Exit status 2, with a one-line message: a fault in the command line,\n"
           "such as a text longer than its field or a missing ARCHIVE.\n"
           "Exit status 1, with a one-line message and nothing written: a module that\n"
           "is not a PE image or whose image does not end at its file size, an\n"
           "archive in which no LHA entry header is found, an output of 2 GiB or\n"
           "more, an output that names one of the inputs, a module in whose image\n"
           "the module's own scan would find a header before the archive, or a\n"
           "failed write.\n";
}

}  // namespace mksfx
