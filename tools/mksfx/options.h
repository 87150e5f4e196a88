// Command line of the packager's builder.
#pragma once

#include <string>

#include "config_block.h"

namespace mksfx {

struct PackageOptions {
    std::string output;
    std::string module;
    std::string archive;
    SfxConfig config = DefaultConfig();
    bool computeCrc = false;  // fill expectedCrc from the archive bytes written
};

enum class ParseOutcome { kPackage, kHelp, kError };

// Reads argv[1..argc-1] into options.  On kError, error holds a one-line
// message without the program name.
ParseOutcome ParseOptions(int argc, const char* const* argv, PackageOptions& options,
                          std::string& error);

// The --help text.
const char* UsageText();

}  // namespace mksfx
