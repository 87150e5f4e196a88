// The version resource (VS_VERSIONINFO): a tree of nodes, each a 16-bit
// length, value length and type, a UTF-16 key, a value and children, every
// node on a 4-byte boundary.  The root's value is the fixed file info; its
// child "StringFileInfo" holds one string table per language.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace pe {

struct VersionNode {
    std::u16string key;
    uint16_t valueLength = 0;  // as stored: characters for text, bytes for binary
    uint16_t type = 0;         // 1 text, 0 binary
    std::vector<uint8_t> value;
    std::vector<VersionNode> children;

    VersionNode* Child(const std::u16string& name);
    const VersionNode* Child(const std::u16string& name) const;
};

// The version numbers of the fixed file info (VS_FIXEDFILEINFO): offsets of
// their high and low halves.
constexpr size_t kFileVersionField = 8;
constexpr size_t kProductVersionField = 16;

// False, with a message, for bytes that are not one well-formed block
// whose root is VS_VERSION_INFO.
bool ParseVersionBlock(const std::vector<uint8_t>& bytes, VersionNode& root, std::string& error);
std::vector<uint8_t> BuildVersionBlock(const VersionNode& root);

// The string tables (the children of StringFileInfo), or nullptr when the
// block has none.
std::vector<VersionNode>* StringTables(VersionNode& root);
const std::vector<VersionNode>* StringTables(const VersionNode& root);

// The root's fixed file info, or nullptr when its value is none.
uint8_t* FixedFileInfo(VersionNode& root);

// The text of a string table entry, without its terminator.
std::u16string VersionText(const VersionNode& node);

// Sets `name` to `text` in every string table, adding it where a table
// lacks it.  False when the block has no string table.
bool SetVersionString(VersionNode& root, const std::u16string& name, const std::u16string& text);

}  // namespace pe
