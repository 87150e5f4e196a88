// Command line and package file of the packager's builder.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "config_block.h"
#include "pack.h"

namespace mksfx {

struct PackageOptions {
    std::string output;
    std::string module;                  // empty: the module beside mksfx (module_path.h)
    std::string archive;                 // an LHA archive given alone, used as it is
    std::vector<std::string> inputs;     // otherwise the files and folders to pack
    std::string inputFolder;             // where relative inputs are found; empty: here
    SfxConfig config = DefaultConfig();  // texts already in the code page
    bool computeCrc = false;             // fill expectedCrc from the archive bytes written
    pack::PackOptions pack;              // method, header level, --best, code page, times
    std::string icon;                    // --icon FILE
    std::vector<std::pair<std::string, std::string>> version;  // canonical name, UTF-8 value
    std::string info;                                          // --info PACKAGE
    std::vector<std::string> notes;  // options given that have no effect here, said at the end

    bool Branded() const { return !icon.empty() || !version.empty(); }
};

enum class ParseOutcome { kPackage, kInfo, kHelp, kError };

// Reads the package file named by --config, if any, then argv[1..argc-1]
// over it: the command line wins.  Texts are converted from UTF-8 to the
// code page and checked against their fields once everything is read.
// On kError, error holds a one-line message without the program name.
ParseOutcome ParseOptions(int argc, const char* const* argv, PackageOptions& options, std::string& error);

}  // namespace mksfx
