// UTF-8 and UTF-16: the texts of version resources, the exact names of
// archive entries, and names compared as Windows compares them.
#pragma once

#include <string>

namespace pack {

// False for text that is not valid UTF-8 (or names a surrogate).
bool Utf8ToUtf16(const std::string& utf8, std::u16string& out);

// Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(const std::u16string& utf16);

// The text with every UTF-16 unit in upper case, as Windows compares file
// names: unit by unit (characters beyond U+FFFF, which take two, stay),
// simple mappings only ("ß" stays, "ς" and "σ" are both "Σ").
std::u16string UpperCaseAsWindows(const std::u16string& utf16);

}  // namespace pack
