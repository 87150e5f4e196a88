// The package file (mksfx --config package.ini): the syntax only.  What
// the keys mean is the command line's business (options.cpp).
//
//   ; comment                   (also '#'; only at the start of a line)
//   [package]
//   title = Sample              (key = value; blanks around both are dropped,
//   question = "  Go on?  "      double quotes keep them)
//   [version]
//   ProductName = Sample
//   [files]
//   readme.txt                  (one file or folder per line)
#pragma once

#include <string>
#include <vector>

namespace mksfx {

struct PackageFileLine {
    int line = 0;
    std::string section;  // "package" or "version"
    std::string key;
    std::string value;
};

struct PackageFile {
    std::vector<PackageFileLine> settings;  // in the file's order
    std::vector<PackageFileLine> files;     // key holds the path
};

// Reads a UTF-8 package file (a byte-order mark is skipped).  False, with
// "FILE:LINE: why" in error, for a line outside a known section, a setting
// without '=', or a file that cannot be read.
bool ReadPackageFile(const std::string& path, PackageFile& file, std::string& error);

// Parses the text of a package file; name is used in messages.
bool ParsePackageFile(const std::string& text, const std::string& name, PackageFile& file,
                      std::string& error);

}  // namespace mksfx
