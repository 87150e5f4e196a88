// UTF-8 texts to the code page of the Windows that reads the archive:
// 932 (Shift-JIS) or 1252 (Western).  Exact conversions only: a character
// without its own code (or one that would come back as another character)
// is never replaced by a look-alike; a text refuses it, a name shows it as
// '_'.
#pragma once

#include <string>
#include <vector>

namespace pack {

bool IsSupportedCodePage(int codePage);

// Converts utf8 into out.  On failure error says why, naming the first
// character that cannot be represented ("U+301C '〜' has no code in code
// page 1252") or the invalid UTF-8.
bool ConvertFromUtf8(const std::string& utf8, int codePage, std::string& out, std::string& error);

// The code-page form of an entry's name, for readers that know no exact
// (UTF-16) names: a character without an exact code, or whose code holds
// the byte 0xFF (the folder separator of LHA headers), becomes '_', and
// `replaced` names each such character ("U+0394 'Δ'").  False only for
// invalid UTF-8 or an unsupported code page.
bool NameToCodePage(const std::string& utf8, int codePage, std::string& out,
                    std::vector<std::string>& replaced, std::string& error);

constexpr int kUtf8CodePage = 65001;

// The other way, for showing stored texts and names: false for bytes that
// are not text in the code page.  Takes any code page the system converts
// (iconv's CPnnn on the host), and 65001, UTF-8, whose text stays as it is.
bool ConvertToUtf8(const std::string& text, int codePage, std::string& out);

}  // namespace pack
