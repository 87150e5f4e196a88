// The version strings mksfx sets in a module's version block: their names,
// the numbers FileVersion and ProductVersion carry, and the UTF-8 values
// written into every string table.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "pe/version_block.h"

namespace mksfx {

// The string names a version block may carry.
extern const char* const kVersionStringNames[12];

// The name as listed (ProductName for productname), or nullptr.
const char* CanonicalVersionName(const std::string& name);

// Parses "1.2.3.4" (one to four numbers up to 65535, separated by dots,
// perhaps followed by other text: "1.2 beta") into the two 32-bit halves
// of the fixed file info.  False when the text does not start so.
bool ParseVersionNumber(const std::string& text, uint32_t& high, uint32_t& low);

// Sets each name (a canonical string name) to its UTF-8 value in every
// string table, adding names a table lacks; FileVersion and ProductVersion
// also set the fixed file info's numbers.  False, with a message, for a
// block without string tables or fixed file info, or a value that is not
// UTF-8.
bool SetVersionStrings(pe::VersionNode& root, const std::vector<std::pair<std::string, std::string>>& strings,
                       std::string& error);

}  // namespace mksfx
