#include "package.h"

#include <cstdio>
#include <filesystem>
#include <memory>

#include "package/archive_start.h"
#include "package/crc32.h"
#include "archive/header.h"
#include "archive/scanner.h"
#include "base/byte_order.h"
#include "pe/checksum.h"
#include "pe/image.h"
#include "pe/image_end.h"
#include "branding.h"
#include "file_io.h"

namespace mksfx {
namespace {

// The module keeps file sizes and offsets in signed 32-bit integers.
constexpr uint64_t kMaxPackageSize = 0x7FFFFFFF;
constexpr size_t kCopyChunk = 65536;
// Signers align the file to this many bytes before their certificate table.
constexpr size_t kSignerAlignment = 8;

// Header faults met while scanning are false candidates, not news.
class SilentReporter final : public lzh::Reporter {
public:
    void Report(const char*) override {}
};

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<FILE, FileCloser>;

File Open(const std::string& path, const char* mode) { return File(OpenFile(path, mode)); }

// Size of a file, or -1.  Not through ftell, whose long is 32 bits on
// Windows.
int64_t FileSize(const std::string& path) {
    std::error_code error;
    const uintmax_t size = std::filesystem::file_size(PathFromUtf8(path), error);
    return error ? -1 : static_cast<int64_t>(size);
}

bool ReadModule(const std::string& path, std::vector<uint8_t>& bytes, std::string& error) {
    File file = Open(path, "rb");
    const int64_t size = file ? FileSize(path) : -1;
    if (size < 0) {
        error = path + ": cannot read the module";
        return false;
    }
    if (static_cast<uint64_t>(size) > kMaxPackageSize) {
        error = path + ": too large for a module";
        return false;
    }
    bytes.resize(static_cast<size_t>(size));
    if (std::fread(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) {
        error = path + ": cannot read the module";
        return false;
    }
    return true;
}

// File offset of the first entry header the module finds in file (behind
// a package's block, or from the start of a plain archive), or -1.
int64_t FindFirstEntry(FILE* file) {
    SilentReporter reporter;
    lzh::HeaderReader reader(file, reporter, lzh::IsShiftJisLeadByte);
    std::vector<uint8_t> window(lzh::kScanWindowSize);
    std::vector<uint8_t> scratch(lzh::kHeaderWorkSize);
    long offset = -1;
    if (!FindArchive(reader, window.data(), scratch.data(), &offset)) return -1;
    return offset;
}

// The package's icon and version strings in the module's image.
bool BrandModule(const PackageOptions& options, std::vector<uint8_t>& module, std::string& error) {
    Branding branding;
    branding.version = options.version;
    if (!options.icon.empty()) {
        std::vector<uint8_t> icon;
        if (!ReadWholeFile(options.icon, icon)) {
            error = options.icon + ": cannot read the icon";
            return false;
        }
        if (!pe::ReadIconFile(icon.data(), icon.size(), branding.icon, error)) {
            error = options.icon + ": " + error;
            return false;
        }
    }
    if (!ApplyBranding(module, branding, error)) {
        error = options.module + ": " + error;
        return false;
    }
    return true;
}

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code ignored;
    return std::filesystem::equivalent(PathFromUtf8(a), PathFromUtf8(b), ignored);
}

// Writes module, block and archive; with computeCrc the block is written
// again at the end with the CRC-32 of the archive bytes that went out.
// Last comes the PE checksum of the whole file, as Windows computes it
// (a signer computes it again over the signed file).
bool WriteFile(const PackageOptions& options, const std::vector<uint8_t>& module, uint64_t checksumField,
               FILE* archive, PackageLayout& layout, bool& created, std::string& error) {
    File out = Open(options.output, "wb");
    if (!out) {
        error = options.output + ": cannot create the file";
        return false;
    }
    created = true;
    SfxConfig config = options.config;
    config.expectedCrc = 0;
    uint8_t block[kConfigBlockSize];
    EncodeConfig(config, block);
    bool ok = std::fwrite(module.data(), 1, module.size(), out.get()) == module.size() &&
              std::fwrite(block, 1, sizeof block, out.get()) == sizeof block;

    // The checksum is a sum: each piece is added once its bytes are final.
    pe::Checksum checksum(checksumField);
    checksum.Add(module.data(), module.size(), 0);
    const uint64_t archiveStart = module.size() + sizeof block;
    std::vector<uint8_t> chunk(kCopyChunk);
    uint32_t crc = kCrc32Start;
    uint64_t copied = 0;
    while (ok) {
        const size_t count = std::fread(chunk.data(), 1, chunk.size(), archive);
        if (count == 0) break;
        crc = UpdateCrc32(crc, chunk.data(), count);
        checksum.Add(chunk.data(), count, archiveStart + copied);
        copied += count;
        ok = std::fwrite(chunk.data(), 1, count, out.get()) == count;
    }
    if (ok && (std::ferror(archive) || copied != layout.archiveSize)) {
        error = options.archive + ": read failed";
        return false;
    }
    // Signers pad a file to a multiple of 8 bytes before they append their
    // certificate table.  Padded here, behind the archive's end mark, those
    // bytes are part of what the CRC-32 covers, and signing adds nothing
    // before the table, where the module's check stops.
    const uint8_t zeros[kSignerAlignment] = {};
    const size_t padding =
        (kSignerAlignment - (module.size() + sizeof block + copied) % kSignerAlignment) % kSignerAlignment;
    if (ok && padding > 0) {
        crc = UpdateCrc32(crc, zeros, padding);
        ok = std::fwrite(zeros, 1, padding, out.get()) == padding;
    }

    if (ok && options.computeCrc) {
        config.expectedCrc = FinishCrc32(crc);
        EncodeConfig(config, block);
        ok = std::fseek(out.get(), static_cast<long>(layout.imageEnd), SEEK_SET) == 0 &&
             std::fwrite(block, 1, sizeof block, out.get()) == sizeof block;
    }
    checksum.Add(block, sizeof block, module.size());  // the padding's zeros add nothing
    uint8_t field[4];
    layout.checksum = checksum.Finish(archiveStart + copied + padding);
    WriteLe32(field, layout.checksum);
    ok = ok && std::fseek(out.get(), static_cast<long>(checksumField), SEEK_SET) == 0 &&
         std::fwrite(field, 1, sizeof field, out.get()) == sizeof field;
    ok = std::fclose(out.release()) == 0 && ok;
    if (!ok) {
        error = options.output + ": write failed";
        return false;
    }
    layout.expectedCrc = config.expectedCrc;
    return true;
}

// Reads the module and checks that it is a bare PE32 image: a package, or
// a module with data behind it, would put two blocks in the file.  The
// image ends where the module's own FindImageEnd says.
bool LoadModule(const std::string& path, std::vector<uint8_t>& module, uint32_t& imageEnd,
                uint64_t& checksumField, std::string& error) {
    if (!ReadModule(path, module, error)) return false;
    pe::Image image;
    if (!pe::ReadImage(module.data(), module.size(), image, error)) {
        error = path + ": " + error;
        return false;
    }
    checksumField = image.ChecksumOffset();
    imageEnd = FindImageEnd(module.data(), module.size());
    if (imageEnd == 0) {
        error = path + ": not a PE image (no section has raw data)";
        return false;
    }
    if (imageEnd != module.size()) {
        error = path + ": the image ends at " + std::to_string(imageEnd) + " but the file has " +
                std::to_string(module.size()) + " bytes (a package already, or data appended)";
        return false;
    }
    return true;
}

bool CheckAndWrite(const PackageOptions& options, PackageLayout& layout, bool& created, std::string& error) {
    if (SameFile(options.output, options.module) || SameFile(options.output, options.archive)) {
        error = options.output + ": the output must not be one of the inputs";
        return false;
    }

    std::vector<uint8_t> module;
    uint64_t checksumField = 0;
    if (!LoadModule(options.module, module, layout.imageEnd, checksumField, error)) return false;
    if (options.Branded()) {
        if (!BrandModule(options, module, error)) return false;
        layout.imageEnd = static_cast<uint32_t>(module.size());
    }

    File archive = Open(options.archive, "rb");
    const int64_t archiveSize = archive ? FileSize(options.archive) : -1;
    if (archiveSize < 0) {
        error = options.archive + ": cannot read the archive";
        return false;
    }
    layout.archiveSize = static_cast<uint64_t>(archiveSize);
    if (layout.imageEnd + kConfigBlockSize + layout.archiveSize + kSignerAlignment > kMaxPackageSize) {
        error = options.archive + ": the package would be 2 GiB or larger";
        return false;
    }
    const int64_t archiveFirst = FindFirstEntry(archive.get());
    if (archiveFirst < 0) {
        error = options.archive + ": no LHA entry header found";
        return false;
    }
    layout.firstHeader = layout.imageEnd + kConfigBlockSize + static_cast<uint64_t>(archiveFirst);
    if (std::fseek(archive.get(), 0, SEEK_SET) != 0) {
        error = options.archive + ": cannot read the archive";
        return false;
    }
    if (!WriteFile(options, module, checksumField, archive.get(), layout, created, error)) return false;

    // The module finds the archive as FindFirstEntry does; that must be the
    // archive's own first header, or it would extract the wrong thing.
    File written = Open(options.output, "rb");
    const int64_t found = written ? FindFirstEntry(written.get()) : -1;
    if (found != static_cast<int64_t>(layout.firstHeader)) {
        error = options.output + ": the module's scan finds its first header at " + std::to_string(found) +
                " instead of " + std::to_string(layout.firstHeader);
        return false;
    }
    return true;
}

}  // namespace

bool CheckModule(const std::string& path, std::string& error) {
    std::vector<uint8_t> module;
    uint32_t imageEnd = 0;
    uint64_t checksumField = 0;
    return LoadModule(path, module, imageEnd, checksumField, error);
}

bool WritePackage(const PackageOptions& options, PackageLayout& layout, std::string& error) {
    layout = PackageLayout{};
    const SfxConfig& config = options.config;
    if (config.command[0] == '\0') {
        if (config.removeAfterRun) layout.notes.push_back("--remove-after-run has no effect without --run");
        if (config.variant == '6') layout.notes.push_back("--variant 6 has no effect without --run");
    }
    bool created = false;
    if (CheckAndWrite(options, layout, created, error)) {
        if (options.computeCrc && layout.expectedCrc == 0)
            layout.notes.push_back("the archive's CRC-32 is 0, which the module reads as no check");
        return true;
    }
    // A refused input leaves an existing file of that name alone; a half-
    // written or refused package goes.
    if (created) std::remove(options.output.c_str());
    return false;
}

}  // namespace mksfx
