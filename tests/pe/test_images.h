// PE images and resources made for the PE library's tests and the
// packager's: sections of given bytes, a resource section from a tree, an
// icon group, a version block, and memory whose end is a fault.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "pe/resource_tree.h"

namespace pe_test {

using Bytes = std::vector<uint8_t>;

struct TestSection {
    std::string name;
    Bytes data;                             // raw data, padded to the file alignment
    uint32_t characteristics = 0x40000040;  // initialised, readable data
};

// A PE32 image: DOS header, the PE header at 0x80, an optional header of
// 224 bytes with 16 data directories, the section table, then every
// section's raw data at a file alignment of 0x200 (section i at address
// 0x1000 * (i + 1), section alignment 0x1000).  With `resources`, a last
// section ".rsrc" holds the tree and the resource directory points at it.
// The checksum field is the image's checksum.
Bytes MakeImage(const std::vector<TestSection>& sections, const pe::ResourceTree* resources = nullptr);

// An icon group resource listing images of these ids (16x16, 32 bits).
Bytes MakeIconGroup(const std::vector<uint16_t>& ids);

// A version block: fixed file info, then one string table per key in
// `tables` (each holding `strings`), and the translation.
Bytes MakeVersionBlock(const std::vector<std::u16string>& tables,
                       const std::vector<std::pair<std::u16string, std::u16string>>& strings);

// One name of a tree with its items (a text name when `name` is not empty).
pe::ResourceEntry Entry(uint16_t id, const std::u16string& name, const std::vector<pe::ResourceItem>& items);
pe::ResourceItem Item(uint16_t language, const Bytes& data, uint32_t codePage = 0);

// A tree with an icon group 1 of image 1 (language 0x409), a version block
// 1 with one table, and a named "MANIFEST"-like entry.
pe::ResourceTree MakeResourceTree();

// The PE checksum computed another way, as pefile does: 32-bit words (the
// last padded with zeros) with end-around carry, the word at the 4-aligned
// field skipped, folded to 16 bits, plus the length.
uint32_t DwordChecksum(const Bytes& file, size_t field);

// The module under test (SFX_MODULE), or empty.
Bytes RealModule();

// Memory whose last byte lies right before an inaccessible page, so that
// any read past the end faults.
class GuardedBuffer {
public:
    explicit GuardedBuffer(const Bytes& bytes);
    ~GuardedBuffer();
    GuardedBuffer(const GuardedBuffer&) = delete;
    GuardedBuffer& operator=(const GuardedBuffer&) = delete;
    const uint8_t* data() const { return data_; }
    size_t size() const { return size_; }

private:
    size_t pages_;
    uint8_t* base_;
    uint8_t* data_;
    size_t size_;
};

}  // namespace pe_test
