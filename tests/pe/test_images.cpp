#include "test_images.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mman.h>
#endif

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/byte_order.h"
#include "pe/checksum.h"
#include "pe/version_block.h"

namespace pe_test {
namespace {

constexpr size_t kPeOffset = 0x80;
constexpr size_t kOptionalSize = 224;
constexpr uint32_t kFileAlignment = 0x200;
constexpr uint32_t kSectionAlignment = 0x1000;
constexpr size_t kPage = 65536;  // a multiple of every system's page size

size_t Align(size_t n, size_t alignment) { return (n + alignment - 1) / alignment * alignment; }

Bytes Utf16(const std::u16string& text) {
    Bytes b;
    for (const char16_t c : text) {
        b.push_back(static_cast<uint8_t>(c));
        b.push_back(static_cast<uint8_t>(c >> 8));
    }
    return b;
}

pe::VersionNode TextNode(const std::u16string& key, const std::u16string& text) {
    Bytes value = Utf16(text);
    value.insert(value.end(), {0, 0});
    return pe::VersionNode{key, static_cast<uint16_t>(text.size() + 1), 1, value, {}};
}

}  // namespace

Bytes MakeImage(const std::vector<TestSection>& given, const pe::ResourceTree* resources) {
    std::vector<TestSection> sections = given;
    const uint32_t resourceAddress = static_cast<uint32_t>(kSectionAlignment * (sections.size() + 1));
    if (resources != nullptr)
        sections.push_back({".rsrc", pe::BuildResourceTree(*resources, resourceAddress)});

    const size_t table = kPeOffset + 24 + kOptionalSize;
    const size_t headers = Align(table + 40 * sections.size(), kFileAlignment);
    Bytes b(headers, 0);
    b[0] = 'M';
    b[1] = 'Z';
    WriteLe32(&b[0x3C], kPeOffset);
    std::memcpy(&b[kPeOffset], "PE\0\0", 4);
    WriteLe16(&b[kPeOffset + 4], 0x14C);  // i386
    WriteLe16(&b[kPeOffset + 6], static_cast<uint32_t>(sections.size()));
    WriteLe16(&b[kPeOffset + 20], kOptionalSize);
    const size_t optional = kPeOffset + 24;
    WriteLe16(&b[optional], 0x10B);
    WriteLe32(&b[optional + 32], kSectionAlignment);
    WriteLe32(&b[optional + 36], kFileAlignment);
    WriteLe32(&b[optional + 56], static_cast<uint32_t>(kSectionAlignment * (sections.size() + 1)));
    WriteLe32(&b[optional + 60], static_cast<uint32_t>(headers));
    WriteLe32(&b[optional + 92], 16);
    uint32_t initialized = 0;
    for (size_t i = 0; i < sections.size(); i++) {
        const TestSection& s = sections[i];
        const size_t raw = Align(s.data.size(), kFileAlignment);
        const size_t h = table + 40 * i;
        std::memcpy(&b[h], s.name.data(), std::min<size_t>(s.name.size(), 8));
        WriteLe32(&b[h + 8], static_cast<uint32_t>(s.data.size()));
        WriteLe32(&b[h + 12], static_cast<uint32_t>(kSectionAlignment * (i + 1)));
        WriteLe32(&b[h + 16], static_cast<uint32_t>(raw));
        WriteLe32(&b[h + 20], static_cast<uint32_t>(b.size()));
        WriteLe32(&b[h + 36], s.characteristics);
        if (s.characteristics & 0x40) initialized += static_cast<uint32_t>(raw);
        b.insert(b.end(), s.data.begin(), s.data.end());
        b.resize(b.size() + raw - s.data.size(), 0);
    }
    WriteLe32(&b[optional + 8], initialized);
    if (resources != nullptr) {
        WriteLe32(&b[optional + 96 + 2 * 8], resourceAddress);
        WriteLe32(&b[optional + 96 + 2 * 8 + 4], static_cast<uint32_t>(sections.back().data.size()));
    }
    WriteLe32(&b[optional + 64], pe::FileChecksum(b.data(), b.size(), optional + 64));
    return b;
}

Bytes MakeIconGroup(const std::vector<uint16_t>& ids) {
    Bytes g(6 + 14 * ids.size(), 0);
    WriteLe16(&g[2], 1);
    WriteLe16(&g[4], static_cast<uint32_t>(ids.size()));
    for (size_t i = 0; i < ids.size(); i++) {
        uint8_t* e = &g[6 + 14 * i];
        e[0] = e[1] = 16;
        WriteLe16(e + 4, 1);
        WriteLe16(e + 6, 32);
        WriteLe32(e + 8, 40);
        WriteLe16(e + 12, ids[i]);
    }
    return g;
}

Bytes MakeVersionBlock(const std::vector<std::u16string>& tables,
                       const std::vector<std::pair<std::u16string, std::u16string>>& strings) {
    pe::VersionNode root{u"VS_VERSION_INFO", 52, 0, Bytes(52, 0), {}};
    WriteLe32(root.value.data(), 0xFEEF04BD);
    WriteLe32(root.value.data() + 4, 0x00010000);
    pe::VersionNode info{u"StringFileInfo", 0, 1, {}, {}};
    for (const std::u16string& key : tables) {
        pe::VersionNode table{key, 0, 1, {}, {}};
        for (const auto& [name, text] : strings) table.children.push_back(TextNode(name, text));
        info.children.push_back(table);
    }
    root.children.push_back(info);
    pe::VersionNode var{u"VarFileInfo", 0, 1, {}, {}};
    var.children.push_back(pe::VersionNode{u"Translation", 4, 0, {0x09, 0x04, 0xB0, 0x04}, {}});
    root.children.push_back(var);
    return pe::BuildVersionBlock(root);
}

pe::ResourceEntry Entry(uint16_t id, const std::u16string& name, const std::vector<pe::ResourceItem>& items) {
    pe::ResourceEntry entry;
    entry.name.id = id;
    entry.name.name = name;
    entry.languages = items;
    return entry;
}

pe::ResourceItem Item(uint16_t language, const Bytes& data, uint32_t codePage) {
    pe::ResourceItem item;
    item.language = language;
    item.codePage = codePage;
    item.data = data;
    return item;
}

pe::ResourceTree MakeResourceTree() {
    pe::ResourceTree tree;
    Bytes image(40, 0x33);
    WriteLe32(image.data(), 40);
    tree.Add(pe::kIconType).entries.push_back(Entry(1, u"", {Item(0x409, image)}));
    tree.Add(pe::kIconGroupType).entries.push_back(Entry(1, u"", {Item(0x409, MakeIconGroup({1}))}));
    const Bytes version = MakeVersionBlock({u"040904b0"}, {{u"ProductName", u"Test"}});
    tree.Add(pe::kVersionType).entries.push_back(Entry(1, u"", {Item(0x409, version)}));
    tree.Add(24).entries.push_back(Entry(0, u"APP", {Item(0, Bytes{'<', '?', 'x', '>'}, 1252)}));
    return tree;
}

uint32_t DwordChecksum(const Bytes& data, size_t field) {
    uint64_t sum = 0;
    for (size_t at = 0; at < data.size(); at += 4) {
        if (at == field) continue;
        uint8_t word[4] = {};
        std::copy(data.begin() + static_cast<long>(at),
                  data.begin() + static_cast<long>(std::min(at + 4, data.size())), word);
        sum += ReadLe32(word);
        if (sum >> 32) sum = (sum & 0xFFFFFFFF) + (sum >> 32);
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    sum = (sum + (sum >> 16)) & 0xFFFF;
    return static_cast<uint32_t>(sum + data.size());
}

Bytes RealModule() {
    const char* path = std::getenv("SFX_MODULE");
    if (path == nullptr) return {};
    FILE* f = std::fopen(path, "rb");
    if (f == nullptr) return {};
    Bytes bytes;
    uint8_t chunk[4096];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
    std::fclose(f);
    return bytes;
}

GuardedBuffer::GuardedBuffer(const Bytes& bytes) : size_(bytes.size()) {
    pages_ = (size_ + kPage - 1) / kPage + 1;
#ifdef _WIN32
    base_ = static_cast<uint8_t*>(
        VirtualAlloc(nullptr, pages_ * kPage, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    DWORD old;
    VirtualProtect(base_ + (pages_ - 1) * kPage, kPage, PAGE_NOACCESS, &old);
#else
    base_ = static_cast<uint8_t*>(
        mmap(nullptr, pages_ * kPage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    mprotect(base_ + (pages_ - 1) * kPage, kPage, PROT_NONE);
#endif
    data_ = base_ + (pages_ - 1) * kPage - size_;
    if (size_ > 0) std::memcpy(data_, bytes.data(), size_);
}

GuardedBuffer::~GuardedBuffer() {
#ifdef _WIN32
    VirtualFree(base_, 0, MEM_RELEASE);
#else
    munmap(base_, pages_ * kPage);
#endif
}

}  // namespace pe_test
