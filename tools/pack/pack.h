// Packing files and folders into an LHA archive with the project's own
// encoder: the checks on names, and the writing.
//
//   pack::PackOptions options;              // or ParsePackOption per argument (pack_options.h)
//   pack::ArchivePlan plan;
//   if (!pack::PlanArchive(paths, options, plan, error)) ...   // nothing written yet
//   if (!pack::WriteArchive(file, plan, options, error)) ...   // on options.threads threads
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "encode/archive_writer.h"
#include "input_files.h"
#include "pack_options.h"
#include "progress.h"

namespace pack {

struct PlannedEntry {
    InputFile file;
    std::string storedName;    // in the code page, '_' for a character it lacks
    std::u16string exactName;  // levels 1 and 2, a name that is not plain ASCII: in UTF-16
};

struct ArchivePlan {
    std::vector<PlannedEntry> entries;
    // One per name that readers without the exact names see changed:
    // "NAME: readers that know only code page N see STORED".
    std::vector<std::string> notes;
};

// Collects the inputs and checks every name before anything is written:
// free of the characters Windows refuses in names (and of U+FFFF, the
// separator of the exact names' folders), no reserved device name, no
// component ending in a blank or a dot, no two names that Windows would
// take for one (compared without case), and short enough for the header
// level.  A character without a code in the code page becomes '_' in the
// code-page name, and levels 1 and 2 keep the exact name beside it; level
// 0, which has no room for it, refuses such a name.  The message names
// the file.  A file that is `output` itself (the archive being replaced) is
// left out.  Relative inputs are looked for in `folder` when one is given.
bool PlanArchive(const std::vector<std::string>& inputs, const PackOptions& options,
                 const std::filesystem::path& output, ArchivePlan& plan, std::string& error,
                 const std::filesystem::path& folder = {});

// Several threads compress entries at once (options.threads; one per
// processor by default); the archive is written in the plan's order and
// its bytes do not depend on the number of threads.  A file of at most
// kBufferedFileLimit bytes is compressed into memory, while at most
// kBufferBudget bytes wait there for their turn; a longer one is
// compressed straight into the archive when its turn comes.
constexpr uint64_t kBufferedFileLimit = 16u << 20;
constexpr uint64_t kBufferBudget = 64u << 20;

// Writes the planned entries and the end mark from the file's position.
// report, when given, is called after each entry, in the plan's order, on
// the calling thread.  The first entry that cannot be read or written
// ends it, with a message naming it; the entries before it have been
// reported, none after it.  progress, when given, counts the bytes read.
using EntryReport = void (*)(const PlannedEntry& entry, const lzh::EncodedEntry& result, void* context);
bool WriteArchive(FILE* file, const ArchivePlan& plan, const PackOptions& options, std::string& error,
                  EntryReport report = nullptr, void* context = nullptr, Progress* progress = nullptr);

}  // namespace pack
