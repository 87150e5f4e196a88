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
void WriteText(const std::filesystem::path& path, const std::string& text);

// One entry of a package as the module's reader finds and decodes it.
struct Extracted {
    std::string name;  // as stored
    std::string method;
    Bytes data;
    bool crcMatches = false;
};

// Every entry from the first header the scan finds to the end mark.
std::vector<Extracted> ExtractPackage(const std::filesystem::path& package);

// What a run of mksfx printed.
struct MksfxRun {
    int status = -1;
    std::string out, err;
};

// Runs mksfx with these arguments (without the program name); its output
// goes through files in `scratch`.
MksfxRun RunTool(const std::vector<std::string>& args, const std::filesystem::path& scratch);

// The module under test (SFX_MODULE), or empty.
Bytes RealModule();

// Icon images and files: a 32-bit square bitmap of one shade, a PNG (its
// signature and filler), and an .ico file of images of the given sizes
// (0 for 256).  The file's PNG entries have bit count 0, as some writers
// leave it.
Bytes BitmapImage(int size, uint8_t shade);
Bytes PngImage();
Bytes IcoFile(const std::vector<Bytes>& images, const std::vector<int>& sizes);

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
