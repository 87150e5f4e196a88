// UTF-8 texts to the code page of the Windows that reads the archive:
// 932 (Shift-JIS) or 1252 (Western).  Exact conversions only: a character
// without its own code (or one that would come back as another character)
// is refused, never replaced by a look-alike.
#pragma once

#include <string>

namespace pack {

bool IsSupportedCodePage(int codePage);

// Converts utf8 into out.  On failure error says why, naming the first
// character that cannot be represented ("U+301C '〜' has no code in code
// page 1252") or the invalid UTF-8.
bool ConvertFromUtf8(const std::string& utf8, int codePage, std::string& out, std::string& error);

// The other way, for showing stored texts: false for bytes that are not
// text in the code page.
bool ConvertToUtf8(const std::string& text, int codePage, std::string& out);

}  // namespace pack
