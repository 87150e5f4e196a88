// The files and folders a packager names, and everything below the
// folders, in a stable order: the same tree always gives the same list.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace pack {

struct InputFile {
    std::filesystem::path source;  // where to read it
    std::string name;              // stored path, UTF-8, '/' between components
    bool folder = false;
    uint64_t size = 0;
    int64_t modified = 0;    // seconds since 1970-01-01 UTC
    uint8_t attributes = 0;  // MS-DOS bits: read-only, hidden (folder and archive added later)
};

// Adds `argument` and, for a folder, everything below it: a folder comes
// before its contents, and the entries of one folder in byte order of
// their names.  A relative argument is found below `folder` (empty: the
// working folder) and stored under its name as given, without "./" parts;
// an argument "." adds a folder's contents without the folder.  An
// argument given with an absolute path or a ".." component is stored under
// its last component ("/home/me/dist" as "dist", "../data" as "data").
// Refuses a root folder, a missing file, and a link to a folder that
// contains it (a loop).  Other links are followed.
bool CollectInputs(const std::string& argument, std::vector<InputFile>& out, std::string& error,
                   const std::filesystem::path& folder = {});

// Opens a collected file for reading (binary).
FILE* OpenInput(const std::filesystem::path& source);

}  // namespace pack
