#include "package_info.h"

#include <cinttypes>
#include <cstring>
#include <memory>

#include "package/archive_start.h"
#include "package/crc32.h"
#include "archive/header.h"
#include "archive/lha_format.h"
#include "archive/scanner.h"
#include "pe/checksum.h"
#include "pe/icon_group.h"
#include "pe/image.h"
#include "pe/image_end.h"
#include "pe/resource_editor.h"
#include "pe/version_block.h"
#include "codepage.h"
#include "file_io.h"
#include "utf16.h"

namespace mksfx {
namespace {

constexpr size_t kHeadSize = 4096;         // enough for the PE headers
constexpr uint32_t kMaxImage = 64u << 20;  // larger images are not read whole

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<FILE, FileCloser>;

class SilentReporter final : public lzh::Reporter {
public:
    void Report(const char*) override {}
};

bool NoLeadByte(unsigned char) { return false; }

bool ReadAt(FILE* file, uint64_t offset, std::vector<uint8_t>& bytes, size_t count) {
    bytes.resize(count);
    return std::fseek(file, static_cast<long>(offset), SEEK_SET) == 0 &&
           std::fread(bytes.data(), 1, count, file) == count;
}

// Days since 1970-01-01 to a civil date.
void CivilFromDays(int64_t days, int& year, unsigned& month, unsigned& day) {
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(days - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = doy - (153 * mp + 2) / 5 + 1;
    month = mp < 10 ? mp + 3 : mp - 9;
    year = static_cast<int>(static_cast<int64_t>(yoe) + era * 400 + (month <= 2));
}

std::string EntryTime(const lzh::EntryHeader& h) {
    char text[32];
    if (h.level == 2) {
        int year;
        unsigned month, day;
        const int64_t seconds = h.timeStamp;
        CivilFromDays(seconds / 86400, year, month, day);
        const unsigned clock = static_cast<unsigned>(seconds % 86400);
        std::snprintf(text, sizeof text, "%04d-%02u-%02u %02u:%02u:%02u", year, month, day, clock / 3600,
                      clock / 60 % 60, clock % 60);
    } else {
        const lzh::DosDateTime t = lzh::UnpackDosTime(h.timeStamp);
        std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", t.year, t.month, t.day, t.hour,
                      t.minute, t.second);
    }
    return text;
}

// The module's resources: the first string table's texts and the sizes of
// the main icon's images.  A tree that cannot be read, or a name without
// any language, shows as no version strings or no icon.
void ReadResources(const std::vector<uint8_t>& bytes, const pe::Image& image, PackageFacts& facts) {
    pe::ResourceTree tree;
    std::string ignored;
    if (!pe::ReadResources(bytes.data(), bytes.size(), image, tree, ignored)) return;
    pe::VersionNode root;
    const pe::ResourceItem* version = tree.FirstItem(pe::kVersionType);
    if (version != nullptr && pe::ParseVersionBlock(version->data, root, ignored))
        if (const std::vector<pe::VersionNode>* tables = pe::StringTables(root))
            for (const pe::VersionNode& string : (*tables)[0].children)
                facts.version.emplace_back(pack::Utf16ToUtf8(string.key), pack::Utf16ToUtf8(pe::VersionText(string)));
    const pe::ResourceItem* group = tree.FirstItem(pe::kIconGroupType);
    if (group == nullptr) return;
    for (const pe::IconGroupEntry& entry : pe::ReadIconGroup(group->data)) {
        const unsigned width = entry.width ? entry.width : 256, height = entry.height ? entry.height : 256;
        facts.iconImages.push_back(std::to_string(width) + "x" + std::to_string(height) + " " +
                                   std::to_string(entry.bitCount) + "-bit");
    }
}

// One pass over the file: the PE checksum, the CRC-32 of the bytes the
// module checks.
bool SumFile(FILE* file, const pe::Image& image, PackageFacts& facts) {
    if (std::fseek(file, 0, SEEK_SET) != 0) return false;
    pe::Checksum checksum(image.ChecksumOffset());
    uint32_t crc = kCrc32Start;
    std::vector<uint8_t> chunk(65536);
    uint64_t at = 0;
    size_t count;
    while ((count = std::fread(chunk.data(), 1, chunk.size(), file)) > 0) {
        checksum.Add(chunk.data(), count, at);
        const uint64_t from = std::max(at, facts.crcStart), to = std::min(at + count, facts.crcEnd);
        if (from < to) crc = UpdateCrc32(crc, &chunk[from - at], static_cast<size_t>(to - from));
        at += count;
    }
    facts.fileChecksum = checksum.Finish(at);
    facts.crcOfBytes = FinishCrc32(crc);
    return !std::ferror(file) && at == facts.fileSize;
}

void ListEntries(FILE* file, int codePage, PackageFacts& facts) {
    SilentReporter reporter;
    lzh::HeaderReader reader(file, reporter, codePage == 932 ? lzh::IsShiftJisLeadByte : NoLeadByte);
    std::vector<uint8_t> window(lzh::kScanWindowSize), work(lzh::kHeaderWorkSize);
    long offset = -1;
    if (!FindArchive(reader, window.data(), work.data(), &offset)) return;
    facts.firstHeader = offset;
    std::fseek(file, offset, SEEK_SET);
    for (;;) {
        const long start = std::ftell(file);
        if (!reader.ReadEntryHeader(work.data())) {
            uint8_t mark = 0xFF;
            const bool read = std::fseek(file, start, SEEK_SET) == 0 && std::fread(&mark, 1, 1, file) == 1;
            if (read && mark != 0)
                facts.archiveEnd = "an unreadable header at offset " + std::to_string(start);
            else if (!read && static_cast<uint64_t>(start) < facts.fileSize)
                facts.archiveEnd = "a read error at offset " + std::to_string(start);
            return;
        }
        const lzh::EntryHeader& h = reader.header;
        facts.entries.push_back(
            {h.method, h.level, h.packedSize, h.unpackedSize, h.crc16, EntryTime(h), h.name});
        if (!reader.SeekNextHeader()) {
            facts.archiveEnd = "an entry that reaches beyond 2 GiB";
            return;
        }
    }
}

std::string Shown(const std::string& text, int codePage) {
    std::string utf8;
    if (pack::ConvertToUtf8(text, codePage, utf8)) return utf8;
    std::string escaped;
    for (const char c : text) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned char>(c));
        escaped += static_cast<unsigned char>(c) < 0x80 ? std::string(1, c) : hex;
    }
    return escaped;
}

std::string Field(const char* field, size_t width) { return std::string(field, strnlen(field, width)); }

}  // namespace

bool ReadPackageFacts(const std::string& path, int codePage, PackageFacts& facts, std::string& error) {
    facts = PackageFacts{};
    File file(OpenFile(path, "rb"));
    std::error_code ec;
    const uintmax_t size = std::filesystem::file_size(PathFromUtf8(path), ec);
    if (!file || ec) {
        error = path + ": cannot read the file";
        return false;
    }
    facts.fileSize = size;
    std::vector<uint8_t> image;
    if (!ReadAt(file.get(), 0, image, static_cast<size_t>(std::min<uintmax_t>(size, kHeadSize))) ||
        (facts.imageEnd = FindImageEnd(image.data(), image.size())) == 0) {
        error = path + ": not a PE image";
        return false;
    }
    pe::Image headers;
    if (!pe::ReadImage(image.data(), image.size(), headers, error)) {
        error = path + ": " + error;
        return false;
    }
    for (const pe::Section& section : headers.sections) facts.sections.push_back(section.name);
    facts.storedChecksum = headers.checksum;

    std::vector<uint8_t> block;
    if (size < uint64_t{facts.imageEnd} + kConfigBlockSize ||
        !ReadAt(file.get(), facts.imageEnd, block, kConfigBlockSize) ||
        std::memcmp(block.data(), kConfigSignature, sizeof kConfigSignature) != 0) {
        error =
            path + ": no configuration block at offset " + std::to_string(facts.imageEnd) + ": not a package";
        return false;
    }
    std::memcpy(&facts.config, block.data(), kConfigBlockSize);

    // A signature's certificate table lies at the end; the module's check
    // stops where it begins.
    const pe::Directory security = headers.DirectoryAt(pe::kSecurityDirectory);
    facts.crcStart = uint64_t{facts.imageEnd} + kConfigBlockSize;
    facts.crcEnd = size;
    if (security.size != 0) {
        facts.certificateOffset = security.address;
        facts.certificateSize = security.size;
        if (security.address >= facts.crcStart && security.address <= size) facts.crcEnd = security.address;
    }
    if (facts.imageEnd <= kMaxImage && ReadAt(file.get(), 0, image, facts.imageEnd))
        ReadResources(image, headers, facts);
    if (!SumFile(file.get(), headers, facts)) {
        error = path + ": read failed";
        return false;
    }
    ListEntries(file.get(), codePage, facts);
    return true;
}

void PrintPackageFacts(const PackageFacts& f, const std::string& path, int codePage, FILE* out) {
    const SfxConfig& c = f.config;
    const auto text = [&](const char* field, size_t width) { return Shown(Field(field, width), codePage); };
    std::string sections;
    for (const std::string& name : f.sections) sections += (sections.empty() ? "" : " ") + name;
    std::fprintf(out, "package      %s, %" PRIu64 " bytes\n", path.c_str(), f.fileSize);
    // Windows checks the checksum over the whole file; a signer computes
    // it again over the signed file.
    char checksum[96];
    const char* file = f.certificateSize != 0 ? "the signed file" : "the file";
    if (f.storedChecksum == 0)
        std::snprintf(checksum, sizeof checksum, "not set (%s gives %08" PRIX32 ")", file, f.fileChecksum);
    else if (f.storedChecksum == f.fileChecksum)
        std::snprintf(checksum, sizeof checksum, "%08" PRIX32 ", matches %s", f.storedChecksum, file);
    else
        std::snprintf(checksum, sizeof checksum, "%08" PRIX32 ", does not match (%s gives %08" PRIX32 ")",
                      f.storedChecksum, file, f.fileChecksum);
    std::fprintf(out, "module       %" PRIu32 " bytes, sections %s; PE checksum %s\n", f.imageEnd,
                 sections.c_str(), checksum);
    for (const auto& [name, value] : f.version)
        if (!value.empty()) std::fprintf(out, "  %-16s %s\n", name.c_str(), value.c_str());
    if (!f.iconImages.empty()) {
        std::string images;
        for (const std::string& image : f.iconImages) images += (images.empty() ? "" : ", ") + image;
        std::fprintf(out, "  icon             %zu images: %s\n", f.iconImages.size(), images.c_str());
    }

    std::fprintf(out, "block        at offset %" PRIu32 ", code page %d for its texts\n", f.imageEnd,
                 codePage);
    const std::string title = text(c.title, sizeof c.title), question = text(c.question, sizeof c.question);
    if (question.empty())
        std::fprintf(out, "  question       none\n");
    else
        std::fprintf(out, "  question       \"%s\" (caption \"%s\")\n", question.c_str(), title.c_str());
    const std::string destination = text(c.destination, sizeof c.destination);
    std::fprintf(out, "  destination    %s\n",
                 destination.empty() ? "the package's own folder" : destination.c_str());
    std::fprintf(out, "  dialog         %s\n",
                 c.skipDestinationDialog ? "none: extracts straight to the destination"
                                         : "the destination dialog lets the user change it");
    std::fprintf(out, "  confirmation   %s\n",
                 c.noConfirm ? "none: creates the destination and replaces files without asking"
                             : "asks before creating the destination and before replacing a file");
    const std::string command = text(c.command, sizeof c.command);
    if (command.empty())
        std::fprintf(
            out, "  afterwards     %s\n",
            c.openFolder ? "opens the destination in Explorer" : "nothing (the destination is not opened)");
    else
        std::fprintf(out, "  afterwards     runs \"%s\"%s\n", command.c_str(),
                     c.removeAfterRun ? ", waits for it, then deletes what was extracted" : "");
    std::fprintf(out, "  Windows        %s\n",
                 c.variant == '6' ? "64-bit only (variant 6; an .inf command runs without WOW64 redirection)"
                 : c.variant == '3' ? "any (variant 3)"
                                    : "unknown variant");
    if (c.expectedCrc == 0) {
        std::fprintf(out, "  CRC-32         not checked\n");
    } else {
        char status[48] = "matches";
        if (!f.CrcMatches())
            std::snprintf(status, sizeof status, "DOES NOT MATCH (they give %08" PRIX32 ")", f.crcOfBytes);
        std::fprintf(out, "  CRC-32         %08" PRIX32 " over the %" PRIu64 " bytes after the block: %s\n",
                     c.expectedCrc, f.crcEnd - f.crcStart, status);
    }

    // The module's command line: the deployer's switches win over the
    // block's settings, the older ones give way to them.
    std::fprintf(out,
                 "switches     /S /T:DIR /L:FILE /C /A:ARGS /? over the block's settings; "
                 "/D /E:CMD /H /N /O under them\n");

    if (f.certificateSize == 0)
        std::fprintf(out, "signature    none\n");
    else
        std::fprintf(out,
                     "signature    signed: a certificate table of %" PRIu64 " bytes at offset %" PRIu64
                     " (not verified here)\n",
                     f.certificateSize, f.certificateOffset);

    if (f.firstHeader < 0) {
        std::fprintf(out, "archive      NOT FOUND: the module would find no entry header\n");
        return;
    }
    uint64_t size = 0, packed = 0;
    for (const PackageEntry& e : f.entries) {
        size += e.size;
        packed += e.packedSize;
    }
    std::fprintf(out,
                 "archive      first header at offset %" PRId64 ": %zu entries, %" PRIu64
                 " bytes packed into %" PRIu64 "\n",
                 f.firstHeader, f.entries.size(), size, packed);
    std::fprintf(out, "  method  level      packed        size  CRC-16  time                 name\n");
    for (const PackageEntry& e : f.entries)
        std::fprintf(out, "  %-6s  %5d  %10" PRIu32 "  %10" PRIu32 "  %04X    %s  %s\n", e.method.c_str(),
                     e.level, e.packedSize, e.size, e.crc16, e.time.c_str(), Shown(e.name, codePage).c_str());
    if (!f.archiveEnd.empty()) std::fprintf(out, "  DAMAGED: the listing ends at %s\n", f.archiveEnd.c_str());
}

int ShowPackageInfo(const std::string& path, int codePage, FILE* out, FILE* err) {
    PackageFacts facts;
    std::string error;
    if (!ReadPackageFacts(path, codePage, facts, error)) {
        std::fprintf(err, "mksfx: %s\n", error.c_str());
        return 1;
    }
    PrintPackageFacts(facts, path, codePage, out);
    return facts.Intact() ? 0 : 1;
}

}  // namespace mksfx
