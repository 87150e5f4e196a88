#include "test_support.h"

#include <atomic>
#include <memory>

#include "archive/crc16.h"

MemoryFile::MemoryFile(const Bytes& bytes) : file_(std::tmpfile()) {
    if (file_ == nullptr) return;
    if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), file_);
    std::rewind(file_);
}

MemoryFile::~MemoryFile() {
    if (file_ != nullptr) std::fclose(file_);
}

void BitWriter::Put(unsigned value, unsigned count) {
    for (unsigned i = count; i-- > 0;) {
        if (used_ == 0) bytes_.push_back(0);
        if ((value >> i) & 1) bytes_.back() |= static_cast<uint8_t>(0x80 >> used_);
        used_ = (used_ + 1) & 7;
    }
}

void BitWriter::PutBits(const char* text) {
    for (; *text != '\0'; text++)
        if (*text == '0' || *text == '1') Put(*text == '1', 1);
}

Bytes BitWriter::Finish() const { return bytes_; }

namespace {

void Put16(Bytes& b, size_t at, unsigned v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}

void Append16(Bytes& b, unsigned v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}

void Append32(Bytes& b, uint32_t v) {
    for (int i = 0; i < 4; i++) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

}  // namespace

uint16_t Crc16Of(const Bytes& bytes) { return lzh::UpdateCrc16(0, bytes.data(), bytes.size()); }

Bytes BuildHeader(const HeaderSpec& spec) {
    std::vector<ExtHeader> exts = spec.exts;
    if (spec.headerCrc) exts.insert(exts.begin(), ExtHeader{0x00, Bytes{0, 0}});
    uint32_t extBytes = 0;
    for (const ExtHeader& e : exts) extBytes += static_cast<uint32_t>(e.data.size() + 3);

    Bytes h(21, 0);
    for (int i = 0; i < 5; i++) h[2 + i] = static_cast<uint8_t>(spec.method[i]);
    uint32_t packed = spec.packedSize + (spec.level == 1 ? extBytes : 0);
    for (int i = 0; i < 4; i++) {
        h[7 + i] = static_cast<uint8_t>(packed >> (8 * i));
        h[11 + i] = static_cast<uint8_t>(spec.unpackedSize >> (8 * i));
        h[15 + i] = static_cast<uint8_t>(spec.timeStamp >> (8 * i));
    }
    h[19] = spec.attribute;
    h[20] = static_cast<uint8_t>(spec.level);
    if (spec.level < 2) {
        h.push_back(static_cast<uint8_t>(spec.name.size()));
        h.insert(h.end(), spec.name.begin(), spec.name.end());
        Append16(h, spec.crc16);
        if (spec.level == 1) {
            h.push_back('U');
            Append16(h, exts.empty() ? 0 : exts[0].data.size() + 3);
        }
        h[0] = static_cast<uint8_t>(h.size() - 2);
    } else {
        Append16(h, spec.crc16);
        h.push_back('U');
        Append16(h, exts.empty() ? 0 : exts[0].data.size() + 3);
    }
    size_t crcAt = 0;
    for (size_t i = 0; i < exts.size(); i++) {
        if (exts[i].type == 0x00 && spec.headerCrc && i == 0) crcAt = h.size() + 1;
        h.push_back(exts[i].type);
        h.insert(h.end(), exts[i].data.begin(), exts[i].data.end());
        Append16(h, i + 1 < exts.size() ? exts[i + 1].data.size() + 3 : 0);
    }
    if (spec.level == 2) Put16(h, 0, static_cast<unsigned>(h.size()));
    if (spec.level < 2) {
        uint8_t sum = 0;
        for (size_t i = 2; i < static_cast<size_t>(h[0]) + 2; i++) sum = static_cast<uint8_t>(sum + h[i]);
        h[1] = sum;
    }
    if (crcAt != 0) Put16(h, crcAt, Crc16Of(h));
    return h;
}

DecodeResult Decode(lzh::MethodCode code, const Bytes& packed, uint32_t unpackedSize, uint16_t crc16) {
    MemoryFile file(packed);
    MemorySink sink;
    std::atomic<int32_t> abortState{0};
    auto decoder = std::make_unique<lzh::Decoder>(file.get(), sink, abortState);
    const lzh::DecodeOutcome outcome =
        decoder->DecodeEntry(code, static_cast<uint32_t>(packed.size()), unpackedSize, crc16);
    return DecodeResult{sink.data, decoder->runningCrc16, abortState.load(), outcome, sink.writes, sink.progress};
}
