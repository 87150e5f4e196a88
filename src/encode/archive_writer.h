// Writes an LHA archive entry by entry: files compressed with -lh5-,
// -lh6- or -lh7- (stored as -lh0- when they would not shrink), folders as
// -lhd- entries, headers of level 0, 1 or 2, and the end mark.
//
//   lzh::FileOutput out(file);
//   lzh::ArchiveWriter writer(out, options);
//   writer.AddFolder({"docs", 0, mtime, lzh::kAttributeFolder});
//   lzh::FileInput data(readme);
//   writer.AddFile({"docs/readme.txt", size, mtime, lzh::kAttributeArchive}, data);
//   writer.Finish();
#pragma once

#include <cstdint>

#include "archive/lha_format.h"
#include "encode/encode_io.h"
#include "encode/entry_encoder.h"
#include "encode/header_writer.h"

namespace lzh {

struct EncodeOptions {
    MethodCode method = kLh7;  // kLh0 (store everything), kLh5, kLh6 or kLh7
    int headerLevel = 2;       // 0, 1 or 2
    bool best = false;         // optimal parsing instead of lazy matching
};

struct EntryInfo {
    const char* name;    // path in the archive's code page, '/' between components
    uint64_t size;       // bytes of data (files)
    int64_t modified;    // seconds since 1970-01-01 UTC
    uint8_t attributes;  // MS-DOS bits: kAttributeReadOnly, kAttributeHidden, ...
    const char16_t* wideName = nullptr;  // levels 1 and 2: the exact path (HeaderFields)
    uint32_t codePage = 0;               // of name, written with wideName
};

// A short English text for a status, e.g. "read error".
const char* EncodeStatusText(EncodeStatus status);

class ArchiveWriter {
public:
    ArchiveWriter(ArchiveOutput& output, const EncodeOptions& options) : output_(output), options_(options) {}

    // kBadOptions for a method or level the writer does not make.
    EncodeStatus CheckOptions() const;

    EncodeStatus AddFolder(const EntryInfo& entry);
    // Reads exactly entry.size bytes from data.  Files of 4 GiB or more are
    // refused (kTooLarge): the header's sizes have 32 bits.
    EncodeStatus AddFile(const EntryInfo& entry, EncodeInput& data);
    // Writes the end mark.
    EncodeStatus Finish();

    // Files longer than a segment are compressed on the runner's threads
    // (nullptr: on the calling thread); the bytes are the same.
    void SetRunner(TaskRunner* runner) { encoder_.SetRunner(runner); }

    // How the last entry was written.
    const EncodedEntry& last() const { return last_; }

private:
    EncodeStatus WriteEntry(const EntryInfo& entry, bool folder, EncodeInput* data);

    ArchiveOutput& output_;
    EncodeOptions options_;
    EntryEncoder encoder_;
    EncodedEntry last_;
    uint8_t header_[kMaxEntryHeaderSize];
};

}  // namespace lzh
