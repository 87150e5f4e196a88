#include "pack_options.h"

#include <cstdlib>
#include <cstring>
#include <thread>

#include "time_text.h"

namespace pack {
namespace {

constexpr unsigned kBoth = kToolLzhtoolAdd | kToolMksfx;

constexpr OptionSpec kPackOptions[] = {
    {nullptr, "--method", "lh0|lh5|lh6|lh7", kBoth, "method",
     "compression (default lh7); lh0 stores; a file that would not shrink is always stored"},
    {nullptr, "--level", "0|1|2", kBoth, "level", "header level (default 2)"},
    {nullptr, "--best", nullptr, kBoth, "best",
     "optimal parsing: about 3% smaller than the default, eight to twelve times slower"},
    {nullptr, "--codepage", "932|1252", kBoth, "codepage",
     "code page of the stored names and of mksfx's texts (default 932, Japanese; 1252, Western); a "
     "text with a character the code page lacks is refused, naming the character; in a name such a "
     "character becomes _ for readers that know only the code page, and header levels 1 and 2 keep the "
     "exact name beside it (level 0 refuses the name)"},
    {nullptr, "--mtime", "TIME", kBoth, "mtime",
     "the time of every entry: seconds since 1970 or YYYY-MM-DD[THH:MM[:SS]] (UTC), a date that "
     "exists, up to 2106-02-07T06:28:15; SOURCE_DATE_EPOCH (seconds) sets later file times back to it"},
    {"-C", "--directory", "DIR", kBoth, "directory",
     "FILES-OR-FOLDERS given with a relative path are found in DIR (default: the working folder) and "
     "stored under the names as given, \".\" alone standing for DIR's contents; one given with an "
     "absolute path or a \"..\" component is stored under its last component (/home/me/dist as dist)"},
    {nullptr, "--threads", "N", kBoth, "threads",
     "compress up to N files at once (1 to 64; default: one per processor); the archive's bytes are "
     "the same whatever N"},
    {"-q", "--quiet", nullptr, kBoth, "quiet",
     "no progress line (otherwise shown while packing when standard error is a terminal: bytes done, "
     "rate, time left)"},
};

bool ParseChoice(const char* text, const char* const* choices, int count, int& index) {
    for (int i = 0; i < count; i++) {
        if (std::strcmp(text, choices[i]) == 0) {
            index = i;
            return true;
        }
    }
    return false;
}

}  // namespace

std::span<const OptionSpec> PackOptionSpecs() { return kPackOptions; }

int ParsePackOption(int argc, const char* const* argv, int& i, PackOptions& options, std::string& error) {
    const OptionSpec* spec = FindOption(kPackOptions, argv[i]);
    if (spec == nullptr) return 0;
    const std::string option = spec->longName;
    if (spec->value == nullptr) {
        if (option == "--best")
            options.encode.best = true;
        else  // --quiet
            options.quiet = true;
        return 1;
    }
    if (i + 1 >= argc) {
        error = std::string(argv[i]) + " needs a value";
        return -1;
    }
    const char* value = argv[++i];
    int index = 0;
    if (option == "--method") {
        static const char* const kMethods[] = {"lh0", "lh5", "lh6", "lh7"};
        static const lzh::MethodCode kCodes[] = {lzh::kLh0, lzh::kLh5, lzh::kLh6, lzh::kLh7};
        if (!ParseChoice(value, kMethods, 4, index)) {
            error = std::string("--method ") + value + ": give lh0, lh5, lh6 or lh7";
            return -1;
        }
        options.encode.method = kCodes[index];
    } else if (option == "--level") {
        static const char* const kLevels[] = {"0", "1", "2"};
        if (!ParseChoice(value, kLevels, 3, index)) {
            error = std::string("--level ") + value + ": give 0, 1 or 2";
            return -1;
        }
        options.encode.headerLevel = index;
    } else if (option == "--codepage") {
        static const char* const kPages[] = {"932", "1252"};
        if (!ParseChoice(value, kPages, 2, index)) {
            error = std::string("--codepage ") + value + ": give 932 or 1252";
            return -1;
        }
        options.codePage = index == 0 ? 932 : 1252;
    } else if (option == "--directory") {
        const std::string folder = value;
        options.base = std::filesystem::path(std::u8string(folder.begin(), folder.end()));
    } else if (option == "--threads") {
        char* end = nullptr;
        const unsigned long count = std::strtoul(value, &end, 10);
        if (*value < '0' || *value > '9' || *end != '\0' || count < 1 || count > kMaxThreads) {
            error = std::string("--threads ") + value + ": give a number from 1 to " +
                    std::to_string(kMaxThreads);
            return -1;
        }
        options.threads = static_cast<unsigned>(count);
    } else {  // --mtime
        int64_t seconds = 0;
        std::string why;
        if (!ParseTime(value, seconds, why)) {
            error = std::string("--mtime ") + value + ": " + why;
            return -1;
        }
        options.mtime = seconds;
    }
    return 1;
}

unsigned ThreadCount(const PackOptions& options) {
    unsigned count = options.threads;
    if (count == 0) count = std::thread::hardware_concurrency();
    if (count == 0) count = 1;
    return count < kMaxThreads ? count : kMaxThreads;
}

bool ReadSourceDateEpoch(PackOptions& options, std::string& error) {
    const char* text = std::getenv("SOURCE_DATE_EPOCH");
    if (text == nullptr || *text == '\0') return true;
    int64_t seconds = 0;
    std::string why;
    if (!ParseSeconds(text, seconds, why)) {
        error = std::string("SOURCE_DATE_EPOCH=") + text + ": " + why;
        return false;
    }
    options.latest = seconds;
    return true;
}

}  // namespace pack
