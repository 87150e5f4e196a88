#include "test_files.h"

#include <cstdio>
#include <cstring>
#include <random>
#include <stdexcept>

#include <atomic>
#include <cstdlib>

#include "archive/crc16.h"
#include "archive/header.h"
#include "archive/scanner.h"
#include "package/archive_start.h"
#include "cli.h"
#include "file_io.h"
#include "base/byte_order.h"
#include "decode/frame.h"
#include "archive/lha_format.h"

namespace {

constexpr size_t kPeOffset = 0x80;
constexpr size_t kSectionTable = kPeOffset + 24 + 224;
constexpr size_t kSectionSize = 0x200;
constexpr size_t kFirstSection = 0x200;

}  // namespace

Bytes MakeModule(const Bytes& dataSection) {
    const char* names[] = {".text", ".data", ".rsrc"};
    Bytes b(kFirstSection + 3 * kSectionSize, 0);
    b[0] = 'M';
    b[1] = 'Z';
    WriteLe32(&b[0x3C], kPeOffset);
    std::memcpy(&b[kPeOffset], "PE\0\0", 4);
    WriteLe16(&b[kPeOffset + 4], 0x14C);         // i386
    WriteLe16(&b[kPeOffset + 6], 3);             // sections
    WriteLe16(&b[kPeOffset + 20], 224);          // PE32 optional header
    WriteLe16(&b[kPeOffset + 24], 0x10B);        // its magic
    WriteLe32(&b[kPeOffset + 24 + 32], 0x1000);  // section alignment
    WriteLe32(&b[kPeOffset + 24 + 36], 0x200);   // file alignment
    WriteLe32(&b[kPeOffset + 24 + 56], 0x4000);  // size of image
    WriteLe32(&b[kPeOffset + 24 + 60], 0x200);   // size of headers
    WriteLe32(&b[kPeOffset + 24 + 92], 16);      // data directories
    for (size_t i = 0; i < 3; i++) {
        const size_t h = kSectionTable + i * 40;
        std::memcpy(&b[h], names[i], std::strlen(names[i]));
        WriteLe32(&b[h + 8], kSectionSize);                       // virtual size
        WriteLe32(&b[h + 12], 0x1000 * (i + 1));                  // virtual address
        WriteLe32(&b[h + 16], kSectionSize);                      // raw size
        WriteLe32(&b[h + 20], kFirstSection + i * kSectionSize);  // raw offset
    }
    if (dataSection.size() > kSectionSize) throw std::invalid_argument("data section too large");
    std::copy(dataSection.begin(), dataSection.end(), b.begin() + kFirstSection + kSectionSize);
    return b;
}

Bytes MakeArchive(const std::string& name, const std::string& content) {
    const Bytes data(content.begin(), content.end());
    Bytes h(24 + name.size(), 0);
    h[0] = static_cast<uint8_t>(22 + name.size());
    std::memcpy(&h[2], "-lh0-", 5);
    WriteLe32(&h[7], static_cast<uint32_t>(data.size()));
    WriteLe32(&h[11], static_cast<uint32_t>(data.size()));
    WriteLe32(&h[15], (44u << 25 | 1u << 21 | 2u << 16) | (10u << 11 | 20u << 5 | 15u));
    h[19] = 0x20;
    h[20] = 0;  // level
    h[21] = static_cast<uint8_t>(name.size());
    std::memcpy(&h[22], name.data(), name.size());
    WriteLe16(&h[22 + name.size()], lzh::UpdateCrc16(0, data.data(), data.size()));
    uint8_t sum = 0;
    for (size_t i = 2; i < h.size(); i++) sum = static_cast<uint8_t>(sum + h[i]);
    h[1] = sum;
    h.insert(h.end(), data.begin(), data.end());
    h.push_back(0);  // end mark
    return h;
}

Bytes ReadBytes(const std::filesystem::path& path) {
    FILE* f = mksfx::OpenFile(mksfx::Utf8FromPath(path), "rb");
    if (f == nullptr) return {};
    Bytes bytes;
    uint8_t chunk[4096];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
    std::fclose(f);
    return bytes;
}

void WriteBytes(const std::filesystem::path& path, const Bytes& bytes) {
    FILE* f = mksfx::OpenFile(mksfx::Utf8FromPath(path), "wb");
    if (f == nullptr) throw std::runtime_error("cannot create " + mksfx::Utf8FromPath(path));
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (std::fclose(f) != 0 || !ok) throw std::runtime_error("cannot write " + mksfx::Utf8FromPath(path));
}

TempFolder::TempFolder() {
    std::random_device random;
    for (;;) {
        path_ = std::filesystem::temp_directory_path() / ("mksfx-test-" + std::to_string(random()));
        if (std::filesystem::create_directory(path_)) break;
    }
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

void WriteText(const std::filesystem::path& path, const std::string& text) {
    WriteBytes(path, Bytes(text.begin(), text.end()));
}

namespace {

class NoReports final : public lzh::Reporter {
public:
    void Report(const char*) override {}
};

class Collect final : public lzh::OutputSink {
public:
    bool Write(const uint8_t* bytes, size_t count) override {
        data.insert(data.end(), bytes, bytes + count);
        return true;
    }
    Bytes data;
};

}  // namespace

std::vector<Extracted> ExtractPackage(const std::filesystem::path& package) {
    std::vector<Extracted> entries;
    FILE* file = std::fopen(package.string().c_str(), "rb");
    if (file == nullptr) return entries;
    NoReports reporter;
    lzh::HeaderReader reader(file, reporter, lzh::IsShiftJisLeadByte);
    std::vector<uint8_t> window(lzh::kScanWindowSize), work(lzh::kHeaderWorkSize);
    long offset = -1;
    if (FindArchive(reader, window.data(), work.data(), &offset)) {
        std::fseek(file, offset, SEEK_SET);
        Collect sink;
        std::atomic<int32_t> abort{lzh::kAbortNone};
        lzh::Decoder decoder(file, sink, abort);
        while (reader.ReadEntryHeader(work.data())) {
            const lzh::EntryHeader& h = reader.header;
            sink.data.clear();
            const lzh::DecodeOutcome outcome =
                decoder.DecodeEntry(lzh::MethodCodeOf(h.method), h.packedSize, h.unpackedSize, h.crc16);
            entries.push_back({h.name, h.method, sink.data, outcome == lzh::DecodeOutcome::kOk});
            if (!reader.SeekNextHeader()) break;
        }
    }
    std::fclose(file);
    return entries;
}

MksfxRun RunTool(const std::vector<std::string>& args, const std::filesystem::path& scratch) {
    std::vector<const char*> argv{"mksfx"};
    for (const std::string& a : args) argv.push_back(a.c_str());
    const std::filesystem::path outPath = scratch / "stdout.txt", errPath = scratch / "stderr.txt";
    FILE* out = std::fopen(outPath.string().c_str(), "w+");
    FILE* err = std::fopen(errPath.string().c_str(), "w+");
    MksfxRun run;
    run.status = mksfx::RunMksfx(static_cast<int>(argv.size()), argv.data(), out, err);
    std::fclose(out);
    std::fclose(err);
    const Bytes o = ReadBytes(outPath), e = ReadBytes(errPath);
    run.out.assign(o.begin(), o.end());
    run.err.assign(e.begin(), e.end());
    return run;
}

Bytes RealModule() {
    const char* path = std::getenv("SFX_MODULE");
    return path == nullptr ? Bytes{} : ReadBytes(path);
}

// A 32-bit bitmap image as an icon holds it: info header, colours, mask.
Bytes BitmapImage(int size, uint8_t shade) {
    const auto side = static_cast<uint8_t>(size);
    // Size of the header, width, height of colour and mask rows, planes, bits.
    const uint8_t header[40] = {40, 0, 0, 0, side, 0, 0, 0, static_cast<uint8_t>(side * 2),
                                0,  0, 0, 1, 0,    32};
    Bytes b(sizeof header + static_cast<size_t>(size * size * 4 + size * ((size + 31) / 32 * 4)), shade);
    std::copy(std::begin(header), std::end(header), b.begin());
    return b;
}

Bytes PngImage() {
    const uint8_t signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Bytes b(300, 0x5A);
    std::copy(std::begin(signature), std::end(signature), b.begin());
    return b;
}

// An .ico file; bitCount 0 in the directory for the PNG, as some writers do.
Bytes IcoFile(const std::vector<Bytes>& images, const std::vector<int>& sizes) {
    Bytes f(6 + 16 * images.size(), 0);
    f[2] = 1;
    f[4] = static_cast<uint8_t>(images.size());
    for (size_t i = 0; i < images.size(); i++) {
        uint8_t* e = &f[6 + 16 * i];
        e[0] = e[1] = static_cast<uint8_t>(sizes[i] & 0xFF);
        const bool png = images[i][0] == 0x89;
        WriteLe16(e + 4, png ? 0 : 1);
        WriteLe16(e + 6, png ? 0 : 32);
        WriteLe32(e + 8, static_cast<uint32_t>(images[i].size()));
        WriteLe32(e + 12, static_cast<uint32_t>(f.size()));
        f.insert(f.end(), images[i].begin(), images[i].end());
    }
    return f;
}
