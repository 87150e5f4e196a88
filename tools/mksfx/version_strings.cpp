#include "version_strings.h"

#include <cstring>

#include "base/byte_order.h"
#include "utf16.h"

namespace mksfx {

const char* const kVersionStringNames[12] = {
    "Comments",     "CompanyName",    "FileDescription", "FileVersion",
    "InternalName", "LegalCopyright", "LegalTrademarks", "OriginalFilename",
    "PrivateBuild", "ProductName",    "ProductVersion",  "SpecialBuild",
};

const char* CanonicalVersionName(const std::string& name) {
    for (const char* known : kVersionStringNames) {
        if (name.size() != std::strlen(known)) continue;
        bool same = true;
        for (size_t i = 0; i < name.size() && same; i++) same = (name[i] | 0x20) == (known[i] | 0x20);
        if (same) return known;
    }
    return nullptr;
}

bool ParseVersionNumber(const std::string& text, uint32_t& high, uint32_t& low) {
    uint32_t parts[4] = {0, 0, 0, 0};
    size_t at = 0;
    int count = 0;
    while (count < 4 && at < text.size() && text[at] >= '0' && text[at] <= '9') {
        uint32_t value = 0;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
            value = value * 10 + static_cast<uint32_t>(text[at++] - '0');
            if (value > 0xFFFF) return false;
        }
        parts[count++] = value;
        if (at + 1 < text.size() && text[at] == '.' && text[at + 1] >= '0' && text[at + 1] <= '9')
            at++;
        else
            break;
    }
    if (count == 0 || (at < text.size() && (text[at] == '.' || (text[at] >= '0' && text[at] <= '9'))))
        return false;
    high = parts[0] << 16 | parts[1];
    low = parts[2] << 16 | parts[3];
    return true;
}

bool SetVersionStrings(pe::VersionNode& root, const std::vector<std::pair<std::string, std::string>>& strings,
                       std::string& error) {
    if (pe::StringTables(root) == nullptr) {
        error = "the module's version block has no string table";
        return false;
    }
    uint8_t* fixed = pe::FixedFileInfo(root);
    if (fixed == nullptr) {
        error = "the module's version block has no fixed file info";
        return false;
    }
    for (const auto& [name, value] : strings) {
        std::u16string text;
        if (!pack::Utf8ToUtf16(value, text) || text.size() >= 0x7FF0) {
            error = "--version " + name + ": not valid UTF-8, or too long";
            return false;
        }
        pe::SetVersionString(root, std::u16string(name.begin(), name.end()), text);
        uint32_t high = 0, low = 0;
        const size_t field = name == "FileVersion"      ? pe::kFileVersionField
                             : name == "ProductVersion" ? pe::kProductVersionField
                                                        : 0;
        if (field != 0 && ParseVersionNumber(value, high, low)) {
            WriteLe32(fixed + field, high);
            WriteLe32(fixed + field + 4, low);
        }
    }
    return true;
}

}  // namespace mksfx
