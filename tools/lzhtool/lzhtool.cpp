// lzhtool: list, test or extract an LHA archive (also one behind a
// self-extracting module) with the module's own reading and decoding code,
// or make one with the project's encoder.
//
//   lzhtool l ARCHIVE        one line per entry
//   lzhtool t ARCHIVE        decode every entry and check its length and CRC-16
//   lzhtool x ARCHIVE DIR    extract every entry below DIR
//   lzhtool a [options] ARCHIVE FILES-OR-FOLDERS...   pack (add.cpp)
//
// Exit status 0 only when a header was found and every entry was read,
// written and matched its length and CRC-16 (for a: packed).
#include <sys/stat.h>
#include <sys/time.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "archive/header.h"
#include "archive/scanner.h"
#include "decode/frame.h"
#include "decode/method.h"
#include "pe/image_end.h"
#include "package/sfx_config.h"
#include "lzhtool.h"

namespace {

using lzh::EntryHeader;

// Collects the reader's and decoders' fault texts; scan-time faults go to
// stderr as they come, and are counted.
class CollectingReporter final : public lzh::Reporter {
public:
    void Report(const char* text) override {
        if (collecting) {
            faults.emplace_back(text);
        } else {
            std::fprintf(stderr, "lzhtool: %s\n", text);
            scanFaults++;
        }
    }
    bool collecting = false;
    std::vector<std::string> faults;
    int scanFaults = 0;
};

// Where the archive may start: behind the configuration block of a
// self-extracting package, as the module scans its own file, else at 0.
long ArchiveStart(FILE* file) {
    uint8_t headers[4096];
    const size_t got = std::fread(headers, 1, sizeof headers, file);
    const uint32_t imageEnd = FindImageEnd(headers, got);
    char signature[sizeof SfxConfig::signature];
    const bool package = imageEnd != 0 && std::fseek(file, static_cast<long>(imageEnd), SEEK_SET) == 0 &&
                         std::fread(signature, 1, sizeof signature, file) == sizeof signature &&
                         std::memcmp(signature, kConfigSignature, sizeof signature) == 0;
    std::fseek(file, 0, SEEK_SET);
    return package ? static_cast<long>(imageEnd + kConfigBlockSize) : 0;
}

class FileSink final : public lzh::OutputSink {
public:
    bool Write(const uint8_t* bytes, size_t count) override {
        if (file == nullptr) return true;  // testing only
        return std::fwrite(bytes, 1, count, file) == count;
    }
    FILE* file = nullptr;
};

bool IsLeadByte(unsigned char b) { return lzh::IsShiftJisLeadByte(b); }

bool IsDirectoryEntry(const EntryHeader& h) { return strcasecmp(h.method, "-lhd-") == 0; }

// Turns the stored name into a relative '/'-separated path.  Backslashes
// separate unless they are the second byte of a Shift-JIS character.
// Leading separators are dropped, so that a name like "\dir\file" goes
// below the destination (as other extractors and the module do).  Returns
// false for a name with a drive letter or a ".." component.
bool MakeRelativePath(const char* name, std::string& path) {
    path.clear();
    for (const char* p = name; *p != '\0'; p++) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (IsLeadByte(c) && p[1] != '\0') {
            path += *p++;
            path += *p;
        } else {
            path += c == '\\' ? '/' : *p;
        }
    }
    path.erase(0, path.find_first_not_of('/'));
    if (path.empty()) return false;
    if (path.size() >= 2 && path[1] == ':') return false;  // a drive letter
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        if (path.compare(start, end - start, "..") == 0) return false;
        start = end + 1;
    }
    return true;
}

bool MakeDirectories(const std::string& path) {
    for (size_t i = 1; i <= path.size(); i++) {
        if (i < path.size() && path[i] != '/') continue;
        const std::string part = path.substr(0, i);
        if (mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) return false;
    }
    return true;
}

// Levels 0/1 hold MS-DOS local time, level 2 Unix time.
time_t EntryTime(const EntryHeader& h) {
    if (h.level == 2) return static_cast<time_t>(h.timeStamp);
    struct tm t = {};
    const unsigned date = h.timeStamp >> 16, clock = h.timeStamp & 0xFFFF;
    t.tm_year = static_cast<int>((date >> 9) + 80);
    t.tm_mon = static_cast<int>(((date >> 5) & 15) - 1);
    t.tm_mday = static_cast<int>(date & 31);
    t.tm_hour = static_cast<int>(clock >> 11);
    t.tm_min = static_cast<int>((clock >> 5) & 63);
    t.tm_sec = static_cast<int>((clock & 31) * 2);
    t.tm_isdst = -1;
    return mktime(&t);
}

void SetTime(const std::string& path, const EntryHeader& h) {
    const time_t when = EntryTime(h);
    if (when == static_cast<time_t>(-1)) return;
    struct timeval times[2] = {{when, 0}, {when, 0}};
    utimes(path.c_str(), times);
}

int Usage() {
    std::fprintf(stderr,
                 "usage: lzhtool l ARCHIVE       list the entries\n"
                 "       lzhtool t ARCHIVE       test every entry's length and CRC-16\n"
                 "       lzhtool x ARCHIVE DIR   extract every entry below DIR\n"
                 "       lzhtool a [options] ARCHIVE FILES-OR-FOLDERS...   pack (lzhtool a for options)\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "a") == 0) return AddMain(argc, argv);
    if (argc < 3) return Usage();
    const char mode = argv[1][0];
    if (argv[1][1] != '\0' || (mode != 'l' && mode != 't' && mode != 'x')) return Usage();
    if ((mode == 'x') != (argc == 4) || argc > 4) return Usage();

    FILE* archive = std::fopen(argv[2], "rb");
    if (archive == nullptr) {
        std::fprintf(stderr, "lzhtool: cannot open %s: %s\n", argv[2], std::strerror(errno));
        return 2;
    }
    static uint8_t window[lzh::kScanWindowSize];
    static uint8_t work[lzh::kHeaderWorkSize];
    CollectingReporter reporter;
    lzh::HeaderReader reader(archive, reporter, IsLeadByte);
    long offset = -1;
    if (!lzh::FindFirstHeader(reader, window, work, &offset, ArchiveStart(archive))) {
        std::fprintf(stderr, "lzhtool: %s: no LHA header found\n", argv[2]);
        return 1;
    }
    // A candidate the reader refused before the first header may be an
    // entry whose header is damaged.
    int failures = reporter.scanFaults;
    if (failures > 0) std::printf("FAIL a header before offset %ld was refused\n", offset);

    std::atomic<int32_t> abortState{lzh::kAbortNone};
    FileSink sink;
    auto decoder = std::make_unique<lzh::Decoder>(archive, sink, reporter, abortState);
    const EntryHeader& h = reader.header;
    const std::string root = mode == 'x' ? argv[3] : "";
    if (mode == 'x' && !MakeDirectories(root)) {
        std::fprintf(stderr, "lzhtool: cannot create %s\n", root.c_str());
        return 1;
    }

    long headerStart = offset;
    std::fseek(archive, offset, SEEK_SET);
    while (reader.ReadEntryHeader(work)) {
        if (mode == 'l') {
            std::printf("%s %u %10u %10u %04X %s\n", h.method, h.level, h.packedSize, h.unpackedSize, h.crc16,
                        h.name);
        } else {
            std::string path;
            bool extract = mode == 'x';
            if (extract && !MakeRelativePath(h.name, path)) {
                std::printf("REFUSED %s: drive letter or parent reference\n", h.name);
                failures++;
                extract = false;
            } else if (IsDirectoryEntry(h)) {
                if (extract && !MakeDirectories(root + "/" + path)) {
                    std::printf("FAIL %s: cannot create folder\n", h.name);
                    failures++;
                } else {
                    std::printf("OK %s\n", h.name);
                }
            } else {
                const lzh::MethodCode code = lzh::MethodCodeOf(h.method);
                std::string target;
                if (extract) {
                    target = root + "/" + path;
                    const size_t slash = target.rfind('/');
                    MakeDirectories(target.substr(0, slash));
                    if (target.back() == '/') extract = false;  // a folder name only
                }
                if (extract || mode == 't') {
                    sink.file = extract ? std::fopen(target.c_str(), "wb") : nullptr;
                    if (extract && sink.file == nullptr) {
                        std::printf("FAIL %s: cannot create %s\n", h.name, target.c_str());
                        failures++;
                    } else {
                        reporter.collecting = true;
                        reporter.faults.clear();
                        decoder->runningCrc16 = 0;
                        const uint32_t before = decoder->outputTotal;
                        decoder->DecodeEntry(code, h.packedSize, h.unpackedSize);
                        const uint32_t written = decoder->outputTotal - before;
                        reporter.collecting = false;
                        const bool closed = sink.file == nullptr || std::fclose(sink.file) == 0;
                        sink.file = nullptr;
                        std::string fault;
                        if (code == lzh::kUnknown)
                            fault = std::string("unknown method ") + h.method;
                        else if (!reporter.faults.empty())
                            fault = reporter.faults.front();
                        else if (abortState.load() != lzh::kAbortNone || !closed)
                            fault = "write failed";
                        else if (written != h.unpackedSize)
                            fault = "length " + std::to_string(written) + ", expected " +
                                    std::to_string(h.unpackedSize);
                        else if (decoder->runningCrc16 != h.crc16)
                            fault = "CRC Error!";
                        if (fault.empty()) {
                            std::printf("OK %s\n", h.name);
                            if (extract) SetTime(target, h);
                        } else {
                            std::printf("FAIL %s: %s\n", h.name, fault.c_str());
                            failures++;
                            if (extract) std::remove(target.c_str());
                        }
                        abortState.store(lzh::kAbortNone);
                    }
                }
            }
        }
        if (!reader.SeekNextHeader()) break;
        headerStart = std::ftell(archive);
    }
    // The archive ends with a 0 byte or the end of the file; anything else
    // is a header the reader refused, and the entries behind it are lost.
    std::fseek(archive, headerStart, SEEK_SET);
    const int next = std::fgetc(archive);
    if (next != EOF && next != 0) {
        std::printf("FAIL unreadable header at offset %ld\n", headerStart);
        failures++;
    }
    std::fclose(archive);
    return failures == 0 ? 0 : 1;
}
