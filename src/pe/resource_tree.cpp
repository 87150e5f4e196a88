#include "pe/resource_tree.h"

#include <algorithm>

#include "base/byte_order.h"

namespace pe {
namespace {

constexpr size_t kDirectoryHeaderSize = 16;  // IMAGE_RESOURCE_DIRECTORY
constexpr size_t kDirectoryEntrySize = 8;
constexpr size_t kDataEntrySize = 16;       // IMAGE_RESOURCE_DATA_ENTRY
constexpr uint32_t kHighBit = 0x80000000u;  // a name's string, or a subdirectory
constexpr size_t kAlignment = 8;

size_t Align(size_t n, size_t alignment) { return (n + alignment - 1) & ~(alignment - 1); }

size_t DirectorySize(size_t entries) { return kDirectoryHeaderSize + entries * kDirectoryEntrySize; }

class TreeReader {
public:
    TreeReader(const uint8_t* section, size_t size, uint32_t rva, std::string& error)
        : section_(section), size_(size), rva_(rva), error_(error) {}

    bool ReadTypes(ResourceTree& tree);

private:
    // One directory: calls visit(id, offsetField) for each entry.
    template <typename Visit>
    bool ReadDirectory(size_t offset, Visit visit);
    bool ReadName(uint32_t field, ResourceId& id);
    bool ReadItem(uint32_t field, ResourceItem& item);
    bool Fail(const char* what) {
        error_ = std::string("resource section: ") + what;
        return false;
    }

    const uint8_t* section_;
    size_t size_;
    uint32_t rva_;
    std::string& error_;
    // Directories may point at one another, so that a small section could
    // stand for a huge tree; a real tree visits each byte once.
    size_t entriesLeft_ = size_ / kDirectoryEntrySize;
    size_t dataLeft_ = size_;
};

template <typename Visit>
bool TreeReader::ReadDirectory(size_t offset, Visit visit) {
    if (offset > size_ || size_ - offset < kDirectoryHeaderSize) return Fail("directory outside the section");
    const size_t count =
        static_cast<size_t>(ReadLe16(section_ + offset + 12)) + ReadLe16(section_ + offset + 14);
    if ((size_ - offset - kDirectoryHeaderSize) / kDirectoryEntrySize < count)
        return Fail("directory entries outside the section");
    if (count > entriesLeft_) return Fail("directories that share their entries");
    entriesLeft_ -= count;
    for (size_t i = 0; i < count; i++) {
        const uint8_t* entry = section_ + offset + DirectorySize(i);
        ResourceId id;
        if (!ReadName(ReadLe32(entry), id) || !visit(id, ReadLe32(entry + 4))) return false;
    }
    return true;
}

bool TreeReader::ReadName(uint32_t field, ResourceId& id) {
    if ((field & kHighBit) == 0) {
        if (field > 0xFFFF) return Fail("numeric id above 65535");
        id.id = static_cast<uint16_t>(field);
        return true;
    }
    const size_t at = field & ~kHighBit;
    if (at > size_ || size_ - at < 2) return Fail("name outside the section");
    const size_t length = ReadLe16(section_ + at);
    if (length == 0 || (size_ - at - 2) / 2 < length) return Fail("name empty or outside the section");
    for (size_t i = 0; i < length; i++) id.name += static_cast<char16_t>(ReadLe16(section_ + at + 2 + 2 * i));
    return true;
}

bool TreeReader::ReadItem(uint32_t field, ResourceItem& item) {
    if (field & kHighBit) return Fail("more than three levels");
    if (field > size_ || size_ - field < kDataEntrySize) return Fail("data entry outside the section");
    const uint8_t* entry = section_ + field;
    const uint32_t rva = ReadLe32(entry);
    const uint32_t length = ReadLe32(entry + 4);
    if (rva < rva_ || rva - rva_ > size_ || size_ - (rva - rva_) < length)
        return Fail("data outside the section");
    if (length > dataLeft_) return Fail("resources that share their data");
    dataLeft_ -= length;
    item.codePage = ReadLe32(entry + 8);
    const uint8_t* data = section_ + (rva - rva_);
    item.data.assign(data, data + length);
    return true;
}

bool TreeReader::ReadTypes(ResourceTree& tree) {
    return ReadDirectory(0, [&](const ResourceId& typeId, uint32_t typeField) {
        if ((typeField & kHighBit) == 0) return Fail("a type without a directory");
        ResourceType type{typeId, {}};
        const bool ok =
            ReadDirectory(typeField & ~kHighBit, [&](const ResourceId& nameId, uint32_t nameField) {
                if ((nameField & kHighBit) == 0) return Fail("a name without a directory");
                ResourceEntry entry{nameId, {}};
                const bool read =
                    ReadDirectory(nameField & ~kHighBit, [&](const ResourceId& language, uint32_t field) {
                        if (language.IsNamed()) return Fail("a named language");
                        ResourceItem item;
                        item.language = language.id;
                        if (!ReadItem(field, item)) return false;
                        entry.languages.push_back(std::move(item));
                        return true;
                    });
                type.entries.push_back(std::move(entry));
                return read;
            });
        tree.types.push_back(std::move(type));
        return ok;
    });
}

bool IdLess(const ResourceId& a, const ResourceId& b) {
    if (a.IsNamed() != b.IsNamed()) return a.IsNamed();
    return a.IsNamed() ? a.name < b.name : a.id < b.id;
}

void SortTree(ResourceTree& tree) {
    std::stable_sort(tree.types.begin(), tree.types.end(),
                     [](const ResourceType& a, const ResourceType& b) { return IdLess(a.type, b.type); });
    for (ResourceType& type : tree.types) {
        std::stable_sort(
            type.entries.begin(), type.entries.end(),
            [](const ResourceEntry& a, const ResourceEntry& b) { return IdLess(a.name, b.name); });
        for (ResourceEntry& entry : type.entries)
            std::stable_sort(
                entry.languages.begin(), entry.languages.end(),
                [](const ResourceItem& a, const ResourceItem& b) { return a.language < b.language; });
    }
}

// Writes the tree in two passes over the same walk: the first places every
// piece, the second fills in the bytes.
class TreeWriter {
public:
    TreeWriter(const ResourceTree& tree, uint32_t rva) : tree_(tree), rva_(rva) {}
    std::vector<uint8_t> Write();

private:
    void PutDirectory(size_t at, size_t named, size_t numbered);
    void PutEntry(size_t directory, size_t index, const ResourceId& id, uint32_t target);
    uint32_t NameField(const ResourceId& id);

    const ResourceTree& tree_;
    uint32_t rva_;
    std::vector<uint8_t> out_;
    size_t nextString_ = 0;
};

size_t CountNamed(const std::vector<ResourceType>& types) {
    return static_cast<size_t>(
        std::count_if(types.begin(), types.end(), [](const ResourceType& t) { return t.type.IsNamed(); }));
}

size_t CountNamed(const std::vector<ResourceEntry>& entries) {
    return static_cast<size_t>(std::count_if(entries.begin(), entries.end(),
                                             [](const ResourceEntry& e) { return e.name.IsNamed(); }));
}

void TreeWriter::PutDirectory(size_t at, size_t named, size_t numbered) {
    WriteLe16(&out_[at + 12], static_cast<uint16_t>(named));
    WriteLe16(&out_[at + 14], static_cast<uint16_t>(numbered));
}

uint32_t TreeWriter::NameField(const ResourceId& id) {
    if (!id.IsNamed()) return id.id;
    const size_t at = nextString_;
    WriteLe16(&out_[at], static_cast<uint16_t>(id.name.size()));
    for (size_t i = 0; i < id.name.size(); i++) WriteLe16(&out_[at + 2 + 2 * i], id.name[i]);
    nextString_ += 2 + 2 * id.name.size();
    return static_cast<uint32_t>(at) | kHighBit;
}

void TreeWriter::PutEntry(size_t directory, size_t index, const ResourceId& id, uint32_t target) {
    uint8_t* entry = &out_[directory + DirectorySize(index)];
    WriteLe32(entry, NameField(id));
    WriteLe32(entry + 4, target);
}

std::vector<uint8_t> TreeWriter::Write() {
    // Places: directories, then strings, then data entries, then data.
    size_t at = DirectorySize(tree_.types.size());
    size_t strings = 0, items = 0;
    for (const ResourceType& type : tree_.types) {
        at += DirectorySize(type.entries.size());
        if (type.type.IsNamed()) strings += 2 + 2 * type.type.name.size();
        for (const ResourceEntry& entry : type.entries) {
            at += DirectorySize(entry.languages.size());
            if (entry.name.IsNamed()) strings += 2 + 2 * entry.name.name.size();
            items += entry.languages.size();
        }
    }
    nextString_ = at;
    size_t dataEntry = Align(at + strings, kAlignment);
    size_t data = dataEntry + items * kDataEntrySize;
    size_t end = data;
    for (const ResourceType& type : tree_.types)
        for (const ResourceEntry& entry : type.entries)
            for (const ResourceItem& item : entry.languages) end = Align(end, kAlignment) + item.data.size();
    out_.assign(end, 0);

    // Fills them in, in the same order.
    PutDirectory(0, CountNamed(tree_.types), tree_.types.size() - CountNamed(tree_.types));
    size_t directory = DirectorySize(tree_.types.size());
    for (size_t t = 0; t < tree_.types.size(); t++) {
        const ResourceType& type = tree_.types[t];
        const size_t typeDirectory = directory;
        PutEntry(0, t, type.type, static_cast<uint32_t>(typeDirectory) | kHighBit);
        PutDirectory(typeDirectory, CountNamed(type.entries), type.entries.size() - CountNamed(type.entries));
        directory += DirectorySize(type.entries.size());
        for (size_t e = 0; e < type.entries.size(); e++) {
            const ResourceEntry& entry = type.entries[e];
            PutEntry(typeDirectory, e, entry.name, static_cast<uint32_t>(directory) | kHighBit);
            PutDirectory(directory, 0, entry.languages.size());
            for (size_t l = 0; l < entry.languages.size(); l++) {
                const ResourceItem& item = entry.languages[l];
                PutEntry(directory, l, ResourceId{item.language, {}}, static_cast<uint32_t>(dataEntry));
                data = Align(data, kAlignment);
                WriteLe32(&out_[dataEntry], static_cast<uint32_t>(rva_ + data));
                WriteLe32(&out_[dataEntry + 4], static_cast<uint32_t>(item.data.size()));
                WriteLe32(&out_[dataEntry + 8], item.codePage);
                std::copy(item.data.begin(), item.data.end(), out_.begin() + static_cast<ptrdiff_t>(data));
                dataEntry += kDataEntrySize;
                data += item.data.size();
            }
            directory += DirectorySize(entry.languages.size());
        }
    }
    return std::move(out_);
}

}  // namespace

ResourceType* ResourceTree::Find(uint16_t type) {
    for (ResourceType& t : types)
        if (t.type.Is(type)) return &t;
    return nullptr;
}

const ResourceType* ResourceTree::Find(uint16_t type) const {
    for (const ResourceType& t : types)
        if (t.type.Is(type)) return &t;
    return nullptr;
}

const ResourceItem* ResourceTree::FirstItem(uint16_t type) const {
    if (const ResourceType* found = Find(type))
        for (const ResourceEntry& entry : found->entries)
            if (!entry.languages.empty()) return &entry.languages[0];
    return nullptr;
}

ResourceType& ResourceTree::Add(uint16_t type) {
    if (ResourceType* existing = Find(type)) return *existing;
    types.push_back(ResourceType{ResourceId{type, {}}, {}});
    return types.back();
}

bool ParseResourceTree(const uint8_t* section, size_t size, uint32_t sectionRva, ResourceTree& tree,
                       std::string& error) {
    tree.types.clear();
    TreeReader reader(section, size, sectionRva, error);
    if (!reader.ReadTypes(tree)) return false;
    // In the order the loader searches and the writer puts down: a file
    // whose entries are out of order has the same first icon group here as
    // in the image written from it.
    SortTree(tree);
    return true;
}

std::vector<uint8_t> BuildResourceTree(ResourceTree tree, uint32_t sectionRva) {
    SortTree(tree);
    return TreeWriter(tree, sectionRva).Write();
}

}  // namespace pe
