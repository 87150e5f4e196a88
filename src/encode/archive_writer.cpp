#include "encode/archive_writer.h"

namespace lzh {

const char* EncodeStatusText(EncodeStatus status) {
    switch (status) {
    case EncodeStatus::kOk: return "ok";
    case EncodeStatus::kBadOptions: return "unsupported method or header level";
    case EncodeStatus::kBadName: return "name empty, malformed or too long for the header level";
    case EncodeStatus::kTooLarge: return "file of 4 GiB or more (LHA sizes have 32 bits)";
    case EncodeStatus::kReadError: return "read error";
    case EncodeStatus::kSizeChanged: return "file changed size while being read";
    case EncodeStatus::kWriteError: return "write error";
    case EncodeStatus::kNoMemory: return "out of memory";
    }
    return "unknown error";
}

EncodeStatus ArchiveWriter::CheckOptions() const {
    const MethodCode m = options_.method;
    if (m != kLh0 && m != kLh5 && m != kLh6 && m != kLh7) return EncodeStatus::kBadOptions;
    if (options_.headerLevel < 0 || options_.headerLevel > 2) return EncodeStatus::kBadOptions;
    return EncodeStatus::kOk;
}

EncodeStatus ArchiveWriter::AddFolder(const EntryInfo& entry) { return WriteEntry(entry, true, nullptr); }

EncodeStatus ArchiveWriter::AddFile(const EntryInfo& entry, EncodeInput& data) {
    return WriteEntry(entry, false, &data);
}

// The header goes first with provisional fields and is written again once
// the data's method, packed size and CRC-16 are known; its length does not
// depend on them.
EncodeStatus ArchiveWriter::WriteEntry(const EntryInfo& entry, bool folder, EncodeInput* data) {
    const EncodeStatus options = CheckOptions();
    if (options != EncodeStatus::kOk) return options;
    if (!folder && entry.size > 0xFFFFFFFFu) return EncodeStatus::kTooLarge;
    HeaderFields fields{};
    fields.level = options_.headerLevel;
    fields.method = folder ? "-lhd-" : "-lh0-";
    fields.unpackedSize = folder ? 0 : static_cast<uint32_t>(entry.size);
    fields.modified = entry.modified;
    fields.attributes = folder ? static_cast<uint8_t>(entry.attributes | kAttributeFolder) : entry.attributes;
    fields.name = entry.name;
    fields.folder = folder;
    fields.wideName = entry.wideName;
    fields.codePage = entry.codePage;
    const size_t headerSize = BuildEntryHeader(fields, header_);
    if (headerSize == 0) return EncodeStatus::kBadName;

    const uint64_t headerStart = output_.Position();
    if (!output_.Write(header_, headerSize)) return EncodeStatus::kWriteError;
    last_ = EncodedEntry{};
    if (folder) return EncodeStatus::kOk;

    const EncodeStatus encoded =
        encoder_.Encode(*data, fields.unpackedSize, options_.method, options_.best, output_, last_);
    if (encoded != EncodeStatus::kOk) return encoded;
    fields.method = MethodIdOf(last_.method);
    fields.packedSize = last_.packedSize;
    fields.crc16 = last_.crc16;
    BuildEntryHeader(fields, header_);
    const uint64_t dataEnd = output_.Position();
    if (!output_.Seek(headerStart) || !output_.Write(header_, headerSize) || !output_.Seek(dataEnd))
        return EncodeStatus::kWriteError;
    return EncodeStatus::kOk;
}

EncodeStatus ArchiveWriter::Finish() {
    const uint8_t endMark = 0;
    return output_.Write(&endMark, 1) ? EncodeStatus::kOk : EncodeStatus::kWriteError;
}

}  // namespace lzh
