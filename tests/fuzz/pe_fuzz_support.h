// Pieces shared by the fuzz targets over PE images, icon files, package
// files and --info: a scratch file for readers that take a path, the
// images branding puts in, and the check that a tree read from any bytes
// writes and reads back as itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "pe/icon_file.h"
#include "pe/resource_tree.h"

namespace fuzz {

// A file of this process's own in the temporary folder, written anew with
// each input and removed when the process ends normally.
class ScratchFile {
public:
    explicit ScratchFile(const char* suffix);
    ~ScratchFile();
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    const std::string& path() const { return path_; }
    void Write(const uint8_t* data, size_t size) const;  // a failure is a finding

private:
    std::string path_;
};

// Two images as an .ico file gives them: a 16x16 32-bit bitmap and a PNG.
std::vector<pe::IconImage> BrandingImages();

// A tree that was read: written at `rva` and read again it is accepted, and
// writing that gives the same bytes.
void CheckRebuilds(const pe::ResourceTree& tree, uint32_t rva);

// The icon and version blocks of a tree: read, and those that read written
// and read again unchanged.
void CheckResourceContents(const pe::ResourceTree& tree);

}  // namespace fuzz
