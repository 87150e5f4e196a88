// Inputs for the packager's builder tests: a minimal PE module, small LHA
// archives, and a private temporary folder.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

// A PE file of three sections (.text, .data, .rsrc, 512 raw bytes each)
// whose image ends exactly at its size.  dataSection, when given, is copied
// into the start of .data (at most 512 bytes).
Bytes MakeModule(const Bytes& dataSection = {});

// A level-0 LHA archive with one stored (-lh0-) entry and the end mark.
Bytes MakeArchive(const std::string& name, const std::string& content);

Bytes ReadBytes(const std::filesystem::path& path);
void WriteBytes(const std::filesystem::path& path, const Bytes& bytes);

// A fresh folder under the system's temporary folder, removed with its
// contents by the destructor.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};
