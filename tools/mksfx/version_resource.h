// The version resource (VS_VERSIONINFO): a tree of nodes, each a 16-bit
// length, value length and type, a UTF-16 key, a value and children, every
// node on a 4-byte boundary.  The root's value is the fixed file info; its
// child "StringFileInfo" holds one string table per language.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace mksfx {

struct VersionNode {
    std::u16string key;
    uint16_t valueLength = 0;  // as stored: characters for text, bytes for binary
    uint16_t type = 0;         // 1 text, 0 binary
    std::vector<uint8_t> value;
    std::vector<VersionNode> children;

    VersionNode* Child(const std::u16string& name);
};

// The string names a version block may carry.
extern const char* const kVersionStringNames[12];

// The name as listed (ProductName for productname), or nullptr.
const char* CanonicalVersionName(const std::string& name);

// Parses "1.2.3.4" (one to four numbers up to 65535, separated by dots,
// perhaps followed by other text: "1.2 beta") into the two 32-bit halves
// of the fixed file info.  False when the text does not start so.
bool ParseVersionNumber(const std::string& text, uint32_t& high, uint32_t& low);

bool ParseVersionResource(const std::vector<uint8_t>& bytes, VersionNode& root, std::string& error);
std::vector<uint8_t> BuildVersionResource(const VersionNode& root);

// Sets each name (a canonical string name) to its UTF-8 value in every
// string table, adding names a table lacks; FileVersion and ProductVersion
// also set the fixed file info's numbers.  False, with a message, for a
// block without string tables or fixed file info, or a value that is not
// UTF-8.
bool SetVersionStrings(VersionNode& root, const std::vector<std::pair<std::string, std::string>>& strings,
                       std::string& error);

// The text of a string table entry, without its terminator.
std::u16string VersionText(const VersionNode& node);

}  // namespace mksfx
