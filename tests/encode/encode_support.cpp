#include "encode_support.h"

#include <gtest/gtest.h>

#include <malloc.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <random>

#include "decode/frame.h"
#include "archive/lha_format.h"

bool MemoryOutput::Write(const uint8_t* data, size_t count) {
    if (position_ + count > failAt) return false;
    if (bytes.size() < position_ + count) bytes.resize(position_ + count);
    std::memcpy(bytes.data() + position_, data, count);
    position_ += count;
    return true;
}

bool MemoryOutput::Seek(uint64_t position) {
    if (position > bytes.size()) return false;
    position_ = position;
    return true;
}

Bytes MakeData(const std::string& kind, size_t size, uint32_t seed) {
    std::mt19937 random(seed);
    Bytes out;
    out.reserve(size);
    if (kind == "zero") {
        out.assign(size, 0);
    } else if (kind == "random") {
        while (out.size() < size) out.push_back(static_cast<uint8_t>(random()));
    } else if (kind == "bytes") {
        for (size_t i = 0; i < size; i++) out.push_back(static_cast<uint8_t>(i));
    } else if (kind == "run") {
        while (out.size() < size)
            out.insert(out.end(), random() % 600 + 1, static_cast<uint8_t>(random() % 4));
    } else if (kind == "text") {
        static const char* const kWords[] = {"the ",     "encoder ", "writes ",   "blocks ",
                                             "of ",      "codes; ",  "a ",        "window ",
                                             "slides\n", "LHA ",     "archive, ", "matches "};
        while (out.size() < size) {
            const char* w = kWords[random() % 12];
            out.insert(out.end(), w, w + std::strlen(w));
        }
    } else if (kind == "binary") {
        while (out.size() < size) {
            switch (random() % 4) {
            case 0:  // a little-endian table of small integers
                for (int i = 0; i < 64; i++) {
                    const uint32_t v = random() % 300;
                    for (int b = 0; b < 4; b++) out.push_back(static_cast<uint8_t>(v >> (8 * b)));
                }
                break;
            case 1:  // a repeat from anywhere before, up to 300 bytes
                if (!out.empty()) {
                    const size_t from = random() % out.size();
                    const size_t length = std::min<size_t>(random() % 300 + 3, out.size() - from);
                    for (size_t i = 0; i < length; i++) out.push_back(out[from + i]);
                }
                break;
            case 2:
                for (int i = 0; i < 40; i++) out.push_back(static_cast<uint8_t>(random()));
                break;
            default: out.insert(out.end(), random() % 100, 0);
            }
        }
    } else if (kind == "period") {
        const Bytes pattern = MakeData("random", 5000, seed);
        while (out.size() < size) out.insert(out.end(), pattern.begin(), pattern.end());
    } else {
        ADD_FAILURE() << "unknown data kind " << kind;
    }
    out.resize(size);
    return out;
}

ReadArchive ReadBack(const Bytes& archive) {
    ReadArchive result;
    MemoryFile file(archive);
    RecordingReporter reporter;
    lzh::HeaderReader reader(file.get(), reporter, lzh::IsShiftJisLeadByte);
    lzh::WideNames names;
    reader.wideNames = &names;
    MemorySink sink;
    std::atomic<int32_t> abortState{0};
    auto decoder = std::make_unique<lzh::Decoder>(file.get(), sink, abortState);
    uint8_t work[lzh::kHeaderWorkSize];
    long next = 0;
    while (reader.ReadEntryHeader(work)) {
        const lzh::EntryHeader& h = reader.header;
        const long dataStart = std::ftell(file.get());
        sink.data.clear();
        lzh::DecodeOutcome outcome = lzh::DecodeOutcome::kOk;
        if (std::strcmp(h.method, "-lhd-") != 0)
            outcome = decoder->DecodeEntry(lzh::MethodCodeOf(h.method), h.packedSize, h.unpackedSize, h.crc16);
        result.entries.push_back({h, sink.data, outcome, names.file, names.folder, names.codePage});
        next = dataStart + static_cast<long>(h.packedSize);
        std::fseek(file.get(), next, SEEK_SET);
    }
    result.reports = reporter.texts;
    result.endMark = next + 1 == static_cast<long>(archive.size()) && archive[next] == 0;
    return result;
}

Bytes PackFiles(const std::vector<std::pair<std::string, Bytes>>& files, const lzh::EncodeOptions& options) {
    MemoryOutput output;
    lzh::ArchiveWriter writer(output, options);
    for (const auto& [name, data] : files) {
        lzh::MemoryInput input(data.data(), data.size());
        const lzh::EncodeStatus status =
            writer.AddFile({name.c_str(), data.size(), 1700000000, lzh::kAttributeArchive}, input);
        EXPECT_EQ(lzh::EncodeStatus::kOk, status) << name << ": " << lzh::EncodeStatusText(status);
    }
    EXPECT_EQ(lzh::EncodeStatus::kOk, writer.Finish());
    return output.bytes;
}

uint64_t HeapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}
