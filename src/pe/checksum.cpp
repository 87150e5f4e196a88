#include "pe/checksum.h"

#include "base/byte_order.h"

namespace pe {
namespace {

constexpr uint64_t kFieldSize = 4;

}  // namespace

void Checksum::AddWords(const uint8_t* bytes, size_t count, uint64_t offset) {
    if (count == 0) return;
    uint64_t sum = 0;
    if (offset & 1) {  // the high byte of a word
        sum += static_cast<uint32_t>(bytes[0]) << 8;
        bytes++;
        count--;
    }
    size_t i = 0;
    for (; i + 1 < count; i += 2) sum += ReadLe16(bytes + i);
    if (i < count) sum += bytes[i];  // the low byte of a word, whose high byte comes later or is 0
    sum_ += sum;
}

void Checksum::Add(const uint8_t* bytes, size_t count, uint64_t offset) {
    const uint64_t end = offset + count;
    const uint64_t fieldEnd = field_ + kFieldSize;
    if (end <= field_ || offset >= fieldEnd) {
        AddWords(bytes, count, offset);
        return;
    }
    // The field's bytes count as zeros: only what lies around it is added.
    if (offset < field_) AddWords(bytes, static_cast<size_t>(field_ - offset), offset);
    if (end > fieldEnd) AddWords(bytes + (fieldEnd - offset), static_cast<size_t>(end - fieldEnd), fieldEnd);
}

uint32_t Checksum::Finish(uint64_t fileSize) const {
    uint64_t sum = sum_;
    while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<uint32_t>(sum + fileSize);
}

uint32_t FileChecksum(const uint8_t* bytes, size_t size, uint64_t fieldOffset) {
    Checksum checksum(fieldOffset);
    checksum.Add(bytes, size, 0);
    return checksum.Finish(size);
}

}  // namespace pe
