// Decodes one entry through the frame and checks what the frame promises,
// whatever the packed data: the writer's count and CRC-16 agree with what
// reached the output, the outcome agrees with the size, the CRC-16 and the
// abort state, a compressed entry yields its unpacked size (plus at most the
// tail of one match) unless a fault ended it, a stored entry copies exactly
// what is there, and the bit input never reads past the entry's packed
// data.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "decode/frame.h"
#include "archive/lha_format.h"
#include "fuzz_support.h"

namespace fuzz {

struct DecodeBench {
    DecodeBench(FILE* archive, size_t archiveSize);

    // Decodes from the stream's position; unpackedSize is the caller's
    // (already capped) request.  With refuseFirstWrite the output fails
    // its first write.
    void DecodeChecked(lzh::MethodCode code, uint32_t packedSize, uint32_t unpackedSize, uint16_t crc16 = 0,
                       bool refuseFirstWrite = false);

    FILE* archive;
    size_t archiveSize;
    CountingSink sink;
    lzh::DecodeOutcome outcome = lzh::DecodeOutcome::kOk;  // of the entry decoded last
    std::atomic<int32_t> abortState{lzh::kAbortNone};
    lzh::Decoder decoder;
};

}  // namespace fuzz
