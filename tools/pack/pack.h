// Packing files and folders into an LHA archive with the project's own
// encoder: the checks on names, and the writing.
//
//   pack::PackOptions options;              // or ParsePackOption per argument (pack_options.h)
//   pack::ArchivePlan plan;
//   if (!pack::PlanArchive(paths, options, plan, error)) ...   // nothing written yet
//   if (!pack::WriteArchive(file, plan, options, error)) ...
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "encode/archive_writer.h"
#include "input_files.h"
#include "pack_options.h"

namespace pack {

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
