// Writes a self-extracting file: module image, configuration block, archive.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "options.h"

namespace mksfx {

// Where things went in the file that was written.
struct PackageLayout {
    uint32_t imageEnd = 0;  // size of the module, and offset of the block
    uint64_t archiveSize = 0;
    uint64_t firstHeader = 0;        // file offset of the archive's first entry header
    uint32_t expectedCrc = 0;        // as stored in the block
    uint32_t checksum = 0;           // the PE checksum of the whole file
    std::vector<std::string> notes;  // things the packager may want to know
};

// Checks that path holds a module: a PE image with nothing behind it.  False
// with a one-line message in error.
bool CheckModule(const std::string& path, std::string& error);

// Checks the inputs and writes options.output.  Returns false with a
// one-line message in error, and without leaving an output file, when an
// input is refused or the file cannot be written.
bool WritePackage(const PackageOptions& options, PackageLayout& layout, std::string& error);

}  // namespace mksfx
