// lzhtool: list, test or extract an LHA archive (also one behind a
// self-extracting module) with the module's own reading and decoding code,
// or make one with the project's encoder.
//
//   lzhtool l ARCHIVE        one line per entry
//   lzhtool t ARCHIVE        decode every entry and check its length and CRC-16
//   lzhtool x ARCHIVE DIR    extract every entry below DIR
//   lzhtool a [options] ARCHIVE FILES-OR-FOLDERS...   pack (add.cpp)
//
// l, t and x show and write names in UTF-8 (entry_names.cpp); --codepage N
// names the code page of headers that name none, --raw keeps the bytes.
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
#include "archive/lha_format.h"
#include "package/archive_start.h"
#include "codepage.h"
#include "entry_names.h"
#include "lzhtool.h"

namespace {

using lzh::EntryHeader;

// The header reader's faults met while scanning go to stderr, and are
// counted.
class CountingReporter final : public lzh::Reporter {
public:
    void Report(const char* text) override {
        std::fprintf(stderr, "lzhtool: %s\n", text);
        scanFaults++;
    }
    int scanFaults = 0;
};

class FileSink final : public lzh::OutputSink {
public:
    bool Write(const uint8_t* bytes, size_t count) override {
        if (file == nullptr) return true;  // testing only
        return std::fwrite(bytes, 1, count, file) == count;
    }
    FILE* file = nullptr;
};

bool IsDirectoryEntry(const EntryHeader& h) { return strcasecmp(h.method, "-lhd-") == 0; }

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
    const lzh::DosDateTime dos = lzh::UnpackDosTime(h.timeStamp);
    struct tm t = {};
    t.tm_year = static_cast<int>(dos.year) - 1900;
    t.tm_mon = static_cast<int>(dos.month) - 1;
    t.tm_mday = static_cast<int>(dos.day);
    t.tm_hour = static_cast<int>(dos.hour);
    t.tm_min = static_cast<int>(dos.minute);
    t.tm_sec = static_cast<int>(dos.second);
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
    std::fprintf(
        stderr,
        "usage: lzhtool l [--codepage N] [--raw] ARCHIVE       list the entries\n"
        "       lzhtool t [--codepage N] [--raw] ARCHIVE       test every entry's length and CRC-16\n"
        "       lzhtool x [--codepage N] [--raw] ARCHIVE DIR   extract every entry below DIR\n"
        "       lzhtool a [options] ARCHIVE FILES-OR-FOLDERS...   pack (lzhtool a for options)\n"
        "Names are shown and written in UTF-8: from the exact (UTF-16) names where the archive\n"
        "has them, else from the code page its headers name, else from --codepage N (default\n"
        "932); --raw shows and writes the stored bytes.\n");
    return 2;
}

// Reads the options of l, t and x; the operands go to `operands`.
bool ParseNameOptions(int argc, char** argv, NameOptions& options, std::vector<std::string>& operands) {
    for (int i = 2; i < argc; i++) {
        const std::string arg = argv[i];
        if (arg == "--raw") {
            options.raw = true;
        } else if (arg == "--codepage" && i + 1 < argc) {
            char* end = nullptr;
            const long page = std::strtol(argv[++i], &end, 10);
            std::string converted;
            if (*argv[i] == '\0' || *end != '\0' || page <= 0 || page > 65535 ||
                !pack::ConvertToUtf8("a", static_cast<int>(page), converted)) {
                std::fprintf(stderr, "lzhtool: --codepage %s: not a code page this system converts\n",
                             argv[i]);
                return false;
            }
            options.codePage = static_cast<int>(page);
        } else if (arg.size() > 1 && arg[0] == '-') {
            std::fprintf(stderr, "lzhtool: unknown option %s\n", arg.c_str());
            return false;
        } else {
            operands.push_back(arg);
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "a") == 0) return AddMain(argc, argv);
    if (argc < 3) return Usage();
    const char mode = argv[1][0];
    if (argv[1][1] != '\0' || (mode != 'l' && mode != 't' && mode != 'x')) return Usage();
    NameOptions nameOptions;
    std::vector<std::string> operands;
    if (!ParseNameOptions(argc, argv, nameOptions, operands)) return Usage();
    if (operands.size() != (mode == 'x' ? 2u : 1u)) return Usage();
    const char* const archivePath = operands[0].c_str();

    FILE* archive = std::fopen(archivePath, "rb");
    if (archive == nullptr) {
        std::fprintf(stderr, "lzhtool: cannot open %s: %s\n", archivePath, std::strerror(errno));
        return 2;
    }
    static uint8_t window[lzh::kScanWindowSize];
    static uint8_t work[lzh::kHeaderWorkSize];
    static lzh::WideNames names;
    CountingReporter reporter;
    lzh::HeaderReader reader(archive, reporter, LeadBytesOf(nameOptions.codePage));
    long offset = -1;
    // Behind a package's configuration block, as the module finds its own.
    if (!FindArchive(reader, window, work, &offset)) {
        std::fprintf(stderr, "lzhtool: %s: no LHA header found\n", archivePath);
        return 1;
    }
    // A candidate the reader refused before the first header may be an
    // entry whose header is damaged.
    int failures = reporter.scanFaults;
    if (failures > 0) std::printf("FAIL a header before offset %ld was refused\n", offset);

    std::atomic<int32_t> abortState{lzh::kAbortNone};
    FileSink sink;
    auto decoder = std::make_unique<lzh::Decoder>(archive, sink, abortState);
    const EntryHeader& h = reader.header;
    const std::string root = mode == 'x' ? operands[1] : "";
    if (mode == 'x' && !MakeDirectories(root)) {
        std::fprintf(stderr, "lzhtool: cannot create %s\n", root.c_str());
        return 1;
    }

    long headerStart = offset;
    std::fseek(archive, offset, SEEK_SET);
    reader.wideNames = &names;
    while (reader.ReadEntryHeader(work)) {
        const std::string nameText = EntryName(h, names, nameOptions);
        const char* const name = nameText.c_str();
        if (mode == 'l') {
            std::printf("%s %u %10u %10u %04X %s\n", h.method, h.level, h.packedSize, h.unpackedSize, h.crc16,
                        name);
        } else {
            std::string path;
            bool extract = mode == 'x';
            if (extract && !MakeRelativePath(nameText, PathLeadBytes(nameText, nameOptions), path)) {
                std::printf("REFUSED %s: drive letter or parent reference\n", name);
                failures++;
                extract = false;
            } else if (IsDirectoryEntry(h)) {
                if (extract && !MakeDirectories(root + "/" + path)) {
                    std::printf("FAIL %s: cannot create folder\n", name);
                    failures++;
                } else {
                    std::printf("OK %s\n", name);
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
                        std::printf("FAIL %s: cannot create %s\n", name, target.c_str());
                        failures++;
                    } else {
                        // The module judges each entry by the same outcome.
                        lzh::DecodeOutcome outcome =
                            decoder->DecodeEntry(code, h.packedSize, h.unpackedSize, h.crc16);
                        const bool closed = sink.file == nullptr || std::fclose(sink.file) == 0;
                        sink.file = nullptr;
                        if (!closed) outcome = lzh::DecodeOutcome::kWriteFailed;
                        if (outcome == lzh::DecodeOutcome::kOk) {
                            std::printf("OK %s\n", name);
                            if (extract) SetTime(target, h);
                        } else {
                            std::printf("FAIL %s: %s", name, lzh::DecodeOutcomeText(outcome));
                            if (outcome == lzh::DecodeOutcome::kUnknownMethod) std::printf(" (%s)", h.method);
                            std::printf("\n");
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
