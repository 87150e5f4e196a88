// Where the encoder reads an entry's bytes and writes the archive: files
// through the C runtime in the tools, memory in tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace lzh {

// An entry's data.  Read returns the number of bytes read (0 at the end) or
// -1 on a read error.  Rewind starts again from the first byte: an entry
// that does not shrink is read a second time and stored.
class EncodeInput {
public:
    virtual long Read(uint8_t* buffer, size_t count) = 0;
    virtual bool Rewind() = 0;

protected:
    ~EncodeInput() = default;
};

// The archive being written.  Every header is written again after its
// entry's data, once the packed size and CRC-16 are known, so the output
// must be able to go back.  Positions are absolute offsets in the output.
class ArchiveOutput {
public:
    virtual bool Write(const uint8_t* bytes, size_t count) = 0;
    virtual bool Seek(uint64_t position) = 0;
    virtual uint64_t Position() const = 0;

protected:
    ~ArchiveOutput() = default;
};

// An open stream read from its current position (which Rewind returns to).
class FileInput final : public EncodeInput {
public:
    explicit FileInput(FILE* file);
    long Read(uint8_t* buffer, size_t count) override;
    bool Rewind() override;

private:
    FILE* file_;
    int64_t start_;
};

// An open stream written from its current position, which may already hold
// other data (a module and its block in front of the archive).
class FileOutput final : public ArchiveOutput {
public:
    explicit FileOutput(FILE* file);
    bool Write(const uint8_t* bytes, size_t count) override;
    bool Seek(uint64_t position) override;
    uint64_t Position() const override { return position_; }

private:
    FILE* file_;
    uint64_t position_;
};

// Bytes in memory.
class MemoryInput final : public EncodeInput {
public:
    MemoryInput(const uint8_t* bytes, size_t size) : bytes_(bytes), size_(size) {}
    long Read(uint8_t* buffer, size_t count) override;
    bool Rewind() override {
        offset_ = 0;
        return true;
    }

private:
    const uint8_t* bytes_;
    size_t size_;
    size_t offset_ = 0;
};

}  // namespace lzh
