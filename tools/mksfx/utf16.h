// UTF-8 and UTF-16, for the texts of version resources.
#pragma once

#include <string>

namespace mksfx {

// False for text that is not valid UTF-8 (or names a surrogate).
bool Utf8ToUtf16(const std::string& utf8, std::u16string& out);

// Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(const std::u16string& utf16);

}  // namespace mksfx
