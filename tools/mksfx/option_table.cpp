#include "option_table.h"

#include "config_block.h"
#include "pack_options.h"

namespace mksfx {
namespace {

using pack::OptionSpec;

constexpr unsigned kMksfx = pack::kToolMksfx;

constexpr OptionSpec kPackageOptions[] = {
    {"-o", "--output", "FILE", kMksfx, "output", "the self-extracting file to write"},
    {nullptr, "--module", "FILE", kMksfx, "module",
     "the self-extracting module (default: sfx.exe beside mksfx, or build/win32/sfx.exe for "
     "build/host/mksfx); its image must end at its file size"},
    {nullptr, "--config", "FILE", kMksfx, nullptr,
     "read settings and files from a package file (see examples/package.ini); paths in it are relative "
     "to it, and the command line wins"},
};

constexpr OptionSpec kBehaviourOptions[] = {
    {nullptr, "--dest", "TEXT", kMksfx, "dest",
     "destination folder (at most {max} bytes); may start with %temp%, %Desktop%, %MyDocuments%, "
     "%ProgramFiles%, %SystemDir% or %WinDir%; empty (the default) means the package's own folder",
     sizeof SfxConfig::destination - 1},
    {nullptr, "--run", "COMMAND", kMksfx, "run",
     "command to start after extraction, relative to the destination, with arguments (at most {max} "
     "bytes); an .inf file is installed through rundll32",
     sizeof SfxConfig::command - 1},
    {nullptr, "--no-confirm", nullptr, kMksfx, "no-confirm",
     "create the destination and replace existing files without asking"},
    {nullptr, "--open-folder", nullptr, kMksfx, "open-folder",
     "open the destination in Explorer after a run without --run (the default)"},
    {nullptr, "--no-open-folder", nullptr, kMksfx, "no-open-folder", "do not open the destination"},
    {nullptr, "--remove-after-run", nullptr, kMksfx, "remove-after-run",
     "wait for the command, then delete what was extracted (the module ignores it without --run)"},
    {nullptr, "--skip-dialog", nullptr, kMksfx, "skip-dialog", "do not show the destination dialog"},
    {nullptr, "--title", "TEXT", kMksfx, "title", "caption of the question box (at most {max} bytes)",
     sizeof SfxConfig::title - 1},
    {nullptr, "--question", "TEXT", kMksfx, "question",
     "yes/no question asked first (at most {max} bytes); empty (the default) asks nothing",
     sizeof SfxConfig::question - 1},
    {nullptr, "--variant", "3|6", kMksfx, "variant",
     "3 (default): any Windows; 6: needs 64-bit Windows and runs an .inf command without WOW64 "
     "redirection"},
    {nullptr, "--crc", nullptr, kMksfx, "crc",
     "store the CRC-32 of the archive bytes, which the module verifies before extracting"},
};

constexpr OptionSpec kBrandingOptions[] = {
    {nullptr, "--icon", "FILE.ico", kMksfx, "icon",
     "the package's icon: every image of the file replaces the module's own icon"},
    {nullptr, "--version", "NAME=TEXT", kMksfx, "version",
     "a string of the version block, in every language it has: ProductName, FileDescription, "
     "CompanyName, FileVersion, ProductVersion, LegalCopyright (also Comments, InternalName, "
     "OriginalFilename, LegalTrademarks, PrivateBuild, SpecialBuild); FileVersion and ProductVersion "
     "start with numbers (1.2.3.4), which also go into the fixed file info; repeatable (in a package "
     "file, NAME = TEXT lines of a [version] section)"},
};

constexpr OptionSpec kInspectionOptions[] = {
    {nullptr, "--info", "PACKAGE", kMksfx, nullptr,
     "show a package's settings, whether its CRC-32 matches, whether it is signed, and its entries "
     "(names shown from --codepage)"},
    {"-h", "--help", nullptr, kMksfx, nullptr, "show the usage and every option"},
};

}  // namespace

std::span<const pack::OptionGroup> OptionGroups() {
    static const pack::OptionGroup kGroups[] = {
        {"Package:", kPackageOptions},
        {"What the package does (texts in UTF-8, stored in the code page; their\n"
         "limits count the converted bytes):",
         kBehaviourOptions},
        {"Archive (made with the project's own encoder):", pack::PackOptionSpecs()},
        {"Branding:", kBrandingOptions},
        {"Inspection:", kInspectionOptions},
    };
    return kGroups;
}

const OptionSpec* FindOption(const std::string& word) {
    for (const pack::OptionGroup& group : OptionGroups())
        if (const OptionSpec* option = pack::FindOption(group.options, word))
            if (option->tools & kMksfx) return option;
    return nullptr;
}

const OptionSpec* FindPackageKey(const std::string& key) {
    for (const pack::OptionGroup& group : OptionGroups())
        if (const OptionSpec* option = pack::FindOptionKey(group.options, key))
            if (option->tools & kMksfx) return option;
    return nullptr;
}

std::string UsageText() {
    return "usage: mksfx -o OUT.exe [options] FILES-OR-FOLDERS...\n"
           "       mksfx -o OUT.exe [options] ARCHIVE.lzh\n"
           "       mksfx --config PACKAGE.ini [options] [FILES-OR-FOLDERS...]\n"
           "       mksfx --info PACKAGE.exe [--codepage 932|1252]\n"
           "\n"
           "Writes OUT.exe: the self-extracting module, a 512-byte configuration block\n"
           "and an LHA archive, in this order.  The archive is made from the files and\n"
           "folders given (a folder with everything below it; see -C for their names),\n"
           "or is ARCHIVE.lzh (or .lha) when that is given alone.\n"
           "\n" +
           pack::FormatOptionHelp(OptionGroups(), kMksfx) +
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
