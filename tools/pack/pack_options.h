// The packing options that lzhtool a and mksfx share: the table they are
// described by, and their parsing.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>

#include "encode/archive_writer.h"
#include "option_spec.h"

namespace pack {

struct PackOptions {
    lzh::EncodeOptions encode;      // method (default -lh7-), header level (2), best
    int codePage = 932;             // of the stored names
    std::filesystem::path base;     // -C: the folder inputs are named from (default: the working one)
    std::optional<int64_t> mtime;   // --mtime: the time of every entry
    std::optional<int64_t> latest;  // SOURCE_DATE_EPOCH: later times are set to it
    unsigned threads = 0;           // --threads: entries compressed at once (0: one per processor)
    bool quiet = false;             // --quiet: no progress line on a terminal
};

// The most --threads takes.
constexpr unsigned kMaxThreads = 64;

// options.threads, or the number of processors when it is 0 (at most
// kMaxThreads).
unsigned ThreadCount(const PackOptions& options);

// --method, --level, --best, --codepage, --mtime, -C/--directory, --threads
// and -q/--quiet.
std::span<const OptionSpec> PackOptionSpecs();

// Reads the packing option at argv[i] and its value: returns 1 and moves i
// to its last argument, 0 when argv[i] is no packing option, or -1 with a
// message in error.
int ParsePackOption(int argc, const char* const* argv, int& i, PackOptions& options, std::string& error);

// Applies SOURCE_DATE_EPOCH from the environment, if set; false with a
// message when it is not a number of seconds that a header can hold.
bool ReadSourceDateEpoch(PackOptions& options, std::string& error);

}  // namespace pack
