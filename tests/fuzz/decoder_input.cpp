#include "decoder_input.h"

#include <memory>

#include "decode_check.h"
#include "fuzz_support.h"

namespace fuzz {

int RunDecoderInput(std::span<const lzh::MethodCode> methods, const uint8_t* data, size_t size) {
    if (size < kDecoderPrefixSize) return 0;
    const lzh::MethodCode first = methods[data[0] % methods.size()];
    const unsigned sizeMode = data[1] & 3, amount = data[1] >> 2;
    uint32_t unpacked = data[2] | data[3] << 8 | data[4] << 16;
    if (unpacked > kMaxUnpacked) unpacked = kMaxUnpacked;
    const bool again = (data[5] & 0x80) != 0;
    const lzh::MethodCode second = methods[(data[5] & 0x3F) % methods.size()];
    const bool refuseFirstWrite = (data[5] & 0x40) != 0;

    const uint32_t dataLength = static_cast<uint32_t>(size - kDecoderPrefixSize);
    uint32_t packed = dataLength;
    switch (sizeMode) {
    case 1: packed = amount < dataLength ? dataLength - amount : 0; break;
    case 2: packed = dataLength + amount * 64 + 1; break;
    case 3: packed = 0xFFFFFFFF; break;
    default: break;
    }

    MemoryFile input(data + kDecoderPrefixSize, dataLength);
    auto bench = std::make_unique<DecodeBench>(input.file(), input.size());
    bench->DecodeChecked(first, packed, unpacked, 0, refuseFirstWrite);
    if (again) {
        FUZZ_CHECK(std::fseek(input.file(), 0, SEEK_SET) == 0);
        bench->DecodeChecked(second, packed, unpacked);
    }
    return 0;
}

}  // namespace fuzz
