#include "utf16.h"

#include <cstdint>

#ifdef _WIN32
#include <windows.h>
#else
#include <locale.h>
#include <wctype.h>
#endif

namespace pack {

bool Utf8ToUtf16(const std::string& utf8, std::u16string& out) {
    out.clear();
    for (size_t at = 0; at < utf8.size();) {
        const uint8_t lead = static_cast<uint8_t>(utf8[at]);
        const size_t length = lead < 0x80         ? 1
                              : (lead >> 5) == 6  ? 2
                              : (lead >> 4) == 14 ? 3
                              : (lead >> 3) == 30 ? 4
                                                  : 0;
        if (length == 0 || utf8.size() - at < length) return false;
        uint32_t code = length == 1 ? lead : lead & (0x7F >> length);
        for (size_t i = 1; i < length; i++) {
            const uint8_t next = static_cast<uint8_t>(utf8[at + i]);
            if ((next & 0xC0) != 0x80) return false;
            code = code << 6 | (next & 0x3F);
        }
        static const uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < kSmallest[length] || code > 0x10FFFF || (code >= 0xD800 && code < 0xE000)) return false;
        if (code >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(code);
        }
        at += length;
    }
    return true;
}

std::string Utf16ToUtf8(const std::u16string& utf16) {
    std::string out;
    for (size_t i = 0; i < utf16.size(); i++) {
        uint32_t code = utf16[i];
        if (code >= 0xD800 && code < 0xDC00 && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
            utf16[i + 1] < 0xE000)
            code = 0x10000 + ((code - 0xD800) << 10) + (utf16[++i] - 0xDC00);
        else if (code >= 0xD800 && code < 0xE000)
            code = 0xFFFD;
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | code >> 6);
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xE0 | code >> 12);
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | code >> 18);
            out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return out;
}

std::u16string UpperCaseAsWindows(const std::u16string& utf16) {
    std::u16string upper = utf16;
#ifdef _WIN32
    // The invariant locale maps unit by unit, as the file system's table does.
    const int length = static_cast<int>(utf16.size());
    if (length != 0)
        LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, reinterpret_cast<const wchar_t*>(utf16.data()),
                     length, reinterpret_cast<wchar_t*>(upper.data()), length);
#else
    // The C.UTF-8 locale has Unicode's simple mappings; without it only
    // ASCII letters are compared without case.
    static const locale_t unicode = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    for (char16_t& unit : upper) {
        if (unit >= 0xD800 && unit < 0xE000) continue;
        if (unicode != static_cast<locale_t>(0)) {
            const wint_t mapped = towupper_l(unit, unicode);
            if (mapped < 0x10000) unit = static_cast<char16_t>(mapped);
        } else if (unit >= u'a' && unit <= u'z') {
            unit = static_cast<char16_t>(unit - u'a' + u'A');
        }
    }
#endif
    return upper;
}

}  // namespace pack
