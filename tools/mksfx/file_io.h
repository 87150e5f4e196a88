// Files named in UTF-8, on Windows too (where the C runtime's narrow
// names are in the ANSI code page).
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace mksfx {

std::filesystem::path PathFromUtf8(const std::string& utf8);
std::string Utf8FromPath(const std::filesystem::path& path);

// fopen with a UTF-8 name.
FILE* OpenFile(const std::string& utf8, const char* mode);

// The whole file; false when it cannot be read.
bool ReadWholeFile(const std::string& utf8, std::string& bytes);
bool ReadWholeFile(const std::string& utf8, std::vector<uint8_t>& bytes);

}  // namespace mksfx
