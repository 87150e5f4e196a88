#include "decode_check.h"

namespace fuzz {
namespace {

bool IsStored(lzh::MethodCode code) { return code == lzh::kLh0 || code == lzh::kLz4; }

}  // namespace

DecodeBench::DecodeBench(FILE* file, size_t size)
    : archive(file), archiveSize(size), decoder(file, sink, abortState) {}

void DecodeBench::DecodeChecked(lzh::MethodCode code, uint32_t packedSize, uint32_t unpackedSize,
                                uint16_t crc16, bool refuseFirstWrite) {
    const long dataStart = std::ftell(archive);
    FUZZ_CHECK(dataStart >= 0 && static_cast<size_t>(dataStart) <= archiveSize);
    const uint64_t available = archiveSize - static_cast<size_t>(dataStart);

    // What the entry may write at most.
    uint64_t limit = 0;
    if (IsStored(code))
        limit = packedSize == 0xFFFFFFFF || packedSize > available ? available : packedSize;
    else if (lzh::RingSizeOf(code) != 0 && unpackedSize != 0)
        limit = uint64_t{unpackedSize} + kLongestMatch - 1;

    sink.Reset(limit, refuseFirstWrite);
    abortState.store(lzh::kAbortNone);
    const uint32_t totalBefore = decoder.outputTotal;

    using lzh::DecodeOutcome;
    outcome = decoder.DecodeEntry(code, packedSize, unpackedSize, crc16);

    FUZZ_CHECK(decoder.outputTotal - totalBefore == static_cast<uint32_t>(sink.written));
    FUZZ_CHECK(decoder.runningCrc16 == sink.crc16);
    // A failed write ends the run (abort state -1); a bad table or a stream
    // that runs well past its data ends the entry only.
    const int32_t state = abortState.load();
    FUZZ_CHECK(state == lzh::kAbortNone || state == lzh::kAbortFailed);
    FUZZ_CHECK((state == lzh::kAbortFailed) == sink.refused);
    FUZZ_CHECK((outcome == DecodeOutcome::kWriteFailed) == sink.refused);
    FUZZ_CHECK(outcome != DecodeOutcome::kCancelled && outcome != DecodeOutcome::kNoMemory);
    const bool whole = sink.written == unpackedSize;
    if (outcome == DecodeOutcome::kOk) FUZZ_CHECK(whole && sink.crc16 == crc16);
    if (outcome == DecodeOutcome::kCrcMismatch) FUZZ_CHECK(whole && sink.crc16 != crc16);
    if (outcome == DecodeOutcome::kLengthMismatch) FUZZ_CHECK(!whole);
    if (outcome == DecodeOutcome::kUnknownMethod) FUZZ_CHECK(lzh::RingSizeOf(code) == 0 && !IsStored(code));
    const bool aborted = outcome != DecodeOutcome::kOk && outcome != DecodeOutcome::kCrcMismatch &&
                         outcome != DecodeOutcome::kLengthMismatch &&
                         outcome != DecodeOutcome::kUnknownMethod;

    const long end = std::ftell(archive);
    FUZZ_CHECK(end >= dataStart);
    const uint64_t consumed = static_cast<uint64_t>(end - dataStart);
    if (IsStored(code)) {
        FUZZ_CHECK(outcome != DecodeOutcome::kBadTableA && outcome != DecodeOutcome::kBadTableB);
        if (!aborted) FUZZ_CHECK(sink.written == limit);
        // A refused chunk has been read but not counted.
        FUZZ_CHECK(sink.refused ? consumed >= sink.written : consumed == sink.written);
        FUZZ_CHECK(consumed <= limit);
    } else if (limit == 0) {
        FUZZ_CHECK(sink.written == 0 && !aborted);
    } else {
        if (!aborted) FUZZ_CHECK(sink.written >= unpackedSize);
        // -lz5- reads whole bytes straight from the archive, past its
        // packed size if the data asks for more; the bit input never does.
        if (code != lzh::kLz5) FUZZ_CHECK(consumed <= packedSize);
    }
}

}  // namespace fuzz
