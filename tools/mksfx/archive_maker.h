// The archive of a package made from files and folders with the project's
// encoder, written to a temporary file that the package writer then copies
// behind the block like an archive given by the packager.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "options.h"

namespace mksfx {

struct ArchiveSummary {
    uint32_t files = 0;
    uint32_t folders = 0;
    uint64_t size = 0;    // bytes of the files
    uint64_t packed = 0;  // bytes of their packed data
    std::vector<std::string> notes;  // names that readers without the exact ones see changed
};

// A file in the system's temporary folder, removed by the destructor.
class TemporaryArchive {
public:
    TemporaryArchive() = default;
    ~TemporaryArchive();
    TemporaryArchive(const TemporaryArchive&) = delete;
    TemporaryArchive& operator=(const TemporaryArchive&) = delete;

    // Packs options.inputs (found in options.inputFolder) into the file,
    // showing its progress on `progress` (a terminal), unless nullptr.
    // False, with a message naming the input at fault, when a name cannot
    // be stored or a file cannot be read or written.
    bool Make(const PackageOptions& options, ArchiveSummary& summary, std::string& error,
              FILE* progress = nullptr);
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

}  // namespace mksfx
