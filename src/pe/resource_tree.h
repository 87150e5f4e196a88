// A PE image's resources as a tree of types, names and languages, read
// from and written back into the bytes of a resource section.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "pe/pe_format.h"

namespace pe {

// A type or a name: a number, or a text when name is not empty.
struct ResourceId {
    uint16_t id = 0;
    std::u16string name;

    bool IsNamed() const { return !name.empty(); }
    bool Is(uint16_t number) const { return !IsNamed() && id == number; }
};

struct ResourceItem {
    uint16_t language = 0;
    uint32_t codePage = 0;
    std::vector<uint8_t> data;
};

struct ResourceEntry {
    ResourceId name;
    std::vector<ResourceItem> languages;
};

struct ResourceType {
    ResourceId type;
    std::vector<ResourceEntry> entries;
};

struct ResourceTree {
    std::vector<ResourceType> types;

    ResourceType* Find(uint16_t type);
    const ResourceType* Find(uint16_t type) const;
    ResourceType& Add(uint16_t type);  // the existing one, or a new empty one
    // The first item of the first name of a type that has one, or nullptr:
    // a name may come without any language.
    const ResourceItem* FirstItem(uint16_t type) const;
};

// Reads the tree from the resource section's bytes; sectionRva is the
// section's address, which the data entries' addresses are relative to.
// False, with a message, for a tree that is not three levels deep or that
// points outside the section.
bool ParseResourceTree(const uint8_t* section, size_t size, uint32_t sectionRva, ResourceTree& tree,
                       std::string& error);

// Writes the tree for a section at sectionRva, laid out as the linker lays
// it out: directories (each type's directory followed by its names'
// language directories), name strings, data entries, then the data, each
// piece 8-byte aligned.  Entries are sorted as the loader's search needs:
// named ones first by name, then numbered ones by number.
std::vector<uint8_t> BuildResourceTree(ResourceTree tree, uint32_t sectionRva);

}  // namespace pe
