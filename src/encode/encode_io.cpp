#include "encode/encode_io.h"

#include <cstring>

namespace lzh {
namespace {

// 64-bit offsets: an archive may grow beyond 2 GiB.
int64_t Tell(FILE* file) {
#ifdef _WIN32
    return _ftelli64(file);
#else
    return ftello(file);
#endif
}

bool SeekTo(FILE* file, int64_t offset) {
#ifdef _WIN32
    return _fseeki64(file, offset, SEEK_SET) == 0;
#else
    return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

}  // namespace

FileInput::FileInput(FILE* file) : file_(file), start_(Tell(file)) {}

long FileInput::Read(uint8_t* buffer, size_t count) {
    const size_t got = std::fread(buffer, 1, count, file_);
    if (got < count && std::ferror(file_)) return -1;
    return static_cast<long>(got);
}

bool FileInput::Rewind() {
    std::clearerr(file_);
    return start_ >= 0 && SeekTo(file_, start_);
}

FileOutput::FileOutput(FILE* file) : file_(file) {
    const int64_t at = Tell(file);
    position_ = at < 0 ? 0 : static_cast<uint64_t>(at);
}

bool FileOutput::Write(const uint8_t* bytes, size_t count) {
    if (std::fwrite(bytes, 1, count, file_) != count) return false;
    position_ += count;
    return true;
}

bool FileOutput::Seek(uint64_t position) {
    if (!SeekTo(file_, static_cast<int64_t>(position))) return false;
    position_ = position;
    return true;
}

long MemoryInput::Read(uint8_t* buffer, size_t count) {
    const size_t left = size_ - offset_;
    if (count > left) count = left;
    if (count != 0) std::memcpy(buffer, bytes_ + offset_, count);
    offset_ += count;
    return static_cast<long>(count);
}

}  // namespace lzh
