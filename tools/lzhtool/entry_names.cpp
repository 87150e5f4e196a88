#include "entry_names.h"

#include "codepage.h"
#include "utf16.h"

namespace {

bool NoLeadBytes(unsigned char) { return false; }
bool DoubleByteLead(unsigned char b) { return b >= 0x81 && b <= 0xFE; }
bool ShiftJisLead(unsigned char b) { return lzh::IsShiftJisLeadByte(b); }

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Where the file name starts: after the last separator that is no trail byte.
size_t FileNameStart(const std::string& name, lzh::LeadBytePredicate isLeadByte) {
    size_t start = 0;
    for (size_t i = 0; i < name.size(); i++) {
        if (isLeadByte(static_cast<unsigned char>(name[i])) && i + 1 < name.size())
            i++;
        else if (IsSeparator(name[i]))
            start = i + 1;
    }
    return start;
}

// A code-page part in UTF-8: converted from the header's code page, else
// the chosen one; as stored when it is no text in either.
std::string FromCodePage(const std::string& text, uint32_t headerCodePage, int codePage) {
    std::string utf8;
    if (headerCodePage != 0 && headerCodePage <= 0x7FFFFFFF &&
        pack::ConvertToUtf8(text, static_cast<int>(headerCodePage), utf8))
        return utf8;
    if (pack::ConvertToUtf8(text, codePage, utf8)) return utf8;
    return text;
}

}  // namespace

lzh::LeadBytePredicate LeadBytesOf(int codePage) {
    switch (codePage) {
    case 932: return ShiftJisLead;
    case 936:
    case 949:
    case 950: return DoubleByteLead;
    default: return NoLeadBytes;
    }
}

std::string EntryName(const lzh::EntryHeader& header, const lzh::WideNames& names,
                      const NameOptions& options) {
    const std::string stored = header.name;
    if (options.raw) return stored;
    // The name's own code page says which bytes are lead bytes.
    const size_t fileStart =
        FileNameStart(stored, LeadBytesOf(names.codePage != 0 ? static_cast<int>(names.codePage) : options.codePage));
    const std::string folder =
        names.folder[0] != 0 ? pack::Utf16ToUtf8(names.folder)
                             : FromCodePage(stored.substr(0, fileStart), names.codePage, options.codePage);
    const std::string file = names.file[0] != 0
                                 ? pack::Utf16ToUtf8(names.file)
                                 : FromCodePage(stored.substr(fileStart), names.codePage, options.codePage);
    // A folder text (0x45) need not end with its separator.
    const bool joined = folder.empty() || file.empty() || IsSeparator(folder.back());
    return folder + (joined ? "" : "\\") + file;
}

lzh::LeadBytePredicate PathLeadBytes(const std::string& name, const NameOptions& options) {
    std::string same;
    if (!options.raw && pack::ConvertToUtf8(name, pack::kUtf8CodePage, same)) return NoLeadBytes;
    return LeadBytesOf(options.codePage);
}

bool MakeRelativePath(const std::string& name, lzh::LeadBytePredicate isLeadByte, std::string& path) {
    path.clear();
    for (size_t i = 0; i < name.size(); i++) {
        if (isLeadByte(static_cast<unsigned char>(name[i])) && i + 1 < name.size()) {
            path += name[i++];
            path += name[i];
        } else {
            path += IsSeparator(name[i]) ? '/' : name[i];
        }
    }
    path.erase(0, path.find_first_not_of('/'));
    if (path.empty()) return false;
    if (path.size() >= 2 && path[1] == ':') return false;  // a drive letter
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        if (path.compare(start, end - start, "..") == 0) return false;
        start = end + 1;
    }
    return true;
}
