// Packing files and folders into an LHA archive with the project's own
// encoder: the options lzhtool a and mksfx share, the checks on names, and
// the writing.
//
//   pack::PackOptions options;              // or ParsePackOption per argument
//   pack::ArchivePlan plan;
//   if (!pack::PlanArchive(paths, options, plan, error)) ...   // nothing written yet
//   if (!pack::WriteArchive(file, plan, options, error)) ...
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "encode/archive_writer.h"
#include "input_files.h"

namespace pack {

struct PackOptions {
    lzh::EncodeOptions encode;      // method (default -lh7-), header level (2), best
    int codePage = 932;             // of the stored names
    std::filesystem::path base;     // -C: the folder inputs are named from (default: the working one)
    std::optional<int64_t> mtime;   // --mtime: the time of every entry
    std::optional<int64_t> latest;  // SOURCE_DATE_EPOCH: later times are set to it
};

// Option help lines for a tool's --help.
extern const char kPackOptionsHelp[];

// Reads the packing option at argv[i] and its value: returns 1 and moves i
// to its last argument, 0 when argv[i] is no packing option, or -1 with a
// message in error.  Options: --method lh0|lh5|lh6|lh7, --level 0|1|2,
// --best, --codepage 932|1252, --mtime SECONDS|YYYY-MM-DD[THH:MM[:SS]] (UTC),
// -C DIR.
int ParsePackOption(int argc, const char* const* argv, int& i, PackOptions& options, std::string& error);

// Applies SOURCE_DATE_EPOCH from the environment, if set; false with a
// message when it is not a number of seconds.
bool ReadSourceDateEpoch(PackOptions& options, std::string& error);

// Parses a time as --mtime takes it.
bool ParseTime(const std::string& text, int64_t& seconds);

struct PlannedEntry {
    InputFile file;
    std::string storedName;  // in the code page
};

struct ArchivePlan {
    std::vector<PlannedEntry> entries;
};

// Collects the inputs and checks every name before anything is written:
// representable in the code page, free of the characters Windows refuses
// in names, no reserved device name, no component ending in a blank or a
// dot, no two names that differ only in case, and short enough for the
// header level.  The message names the file.  A file that is `output`
// itself (the archive being replaced) is left out.  Relative inputs are
// looked for in `folder` when one is given.
bool PlanArchive(const std::vector<std::string>& inputs, const PackOptions& options,
                 const std::filesystem::path& output, ArchivePlan& plan, std::string& error,
                 const std::filesystem::path& folder = {});

// Writes the planned entries and the end mark from the file's position.
// report, when given, is called after each entry.
using EntryReport = void (*)(const PlannedEntry& entry, const lzh::EncodedEntry& result, void* context);
bool WriteArchive(FILE* file, const ArchivePlan& plan, const PackOptions& options, std::string& error,
                  EntryReport report = nullptr, void* context = nullptr);

}  // namespace pack
