#include "codepage.h"

#include <cstdint>
#include <cstdio>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

namespace pack {
namespace {

// Splits utf8 into characters; false for invalid UTF-8.
bool NextCharacter(const std::string& utf8, size_t& at, uint32_t& code, size_t& length) {
    const auto byte = [&](size_t i) { return static_cast<uint8_t>(utf8[i]); };
    const uint8_t b = byte(at);
    length = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
    if (length == 0 || at + length > utf8.size()) return false;
    code = length == 1 ? b : b & (0x7F >> length);
    for (size_t i = 1; i < length; i++) {
        if ((byte(at + i) & 0xC0) != 0x80) return false;
        code = code << 6 | (byte(at + i) & 0x3F);
    }
    static const uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kSmallest[length] || code > 0x10FFFF || (code >= 0xD800 && code < 0xE000)) return false;
    at += length;
    return true;
}

#ifdef _WIN32

// One character through UTF-16, without best-fit replacements, checked by
// converting it back.
class CharacterConverter {
public:
    explicit CharacterConverter(int codePage) : codePage_(codePage) {}
    bool Convert(const std::string& character, std::string& out);

private:
    int codePage_;
};

bool CharacterConverter::Convert(const std::string& character, std::string& out) {
    const int codePage = codePage_;
    wchar_t wide[4];
    const int wideLength = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, character.data(),
                                               static_cast<int>(character.size()), wide, 4);
    if (wideLength <= 0) return false;
    char narrow[8];
    BOOL usedDefault = FALSE;
    const int length = WideCharToMultiByte(static_cast<UINT>(codePage), WC_NO_BEST_FIT_CHARS, wide,
                                           wideLength, narrow, sizeof narrow, nullptr, &usedDefault);
    if (length <= 0 || usedDefault) return false;
    wchar_t back[4];
    const int backLength =
        MultiByteToWideChar(static_cast<UINT>(codePage), MB_ERR_INVALID_CHARS, narrow, length, back, 4);
    if (backLength != wideLength) return false;
    for (int i = 0; i < wideLength; i++)
        if (back[i] != wide[i]) return false;
    out.append(narrow, static_cast<size_t>(length));
    return true;
}

#else

class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
    }
    bool Convert(const std::string& in, std::string& out) {
        if (cd_ == reinterpret_cast<iconv_t>(-1)) return false;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char buffer[16];
        char* source = const_cast<char*>(in.data());
        size_t sourceLeft = in.size();
        char* target = buffer;
        size_t targetLeft = sizeof buffer;
        if (iconv(cd_, &source, &sourceLeft, &target, &targetLeft) == static_cast<size_t>(-1) ||
            iconv(cd_, nullptr, nullptr, &target, &targetLeft) == static_cast<size_t>(-1))
            return false;
        out.assign(buffer, static_cast<size_t>(target - buffer));
        return true;
    }

private:
    iconv_t cd_;
};

// One character, checked by converting it back: iconv maps some characters
// onto codes that stand for others (U+00A5 YEN SIGN onto 0x5C).
class CharacterConverter {
public:
    explicit CharacterConverter(int codePage)
        : to_(codePage == 932 ? "CP932" : "CP1252", "UTF-8"),
          back_("UTF-8", codePage == 932 ? "CP932" : "CP1252") {}

    bool Convert(const std::string& character, std::string& out) {
        std::string narrow, again;
        if (!to_.Convert(character, narrow) || narrow.empty() || !back_.Convert(narrow, again) ||
            again != character)
            return false;
        out += narrow;
        return true;
    }

private:
    Converter to_;
    Converter back_;
};

#endif

// Converts utf8 character by character.  A character without an exact
// code, or (with forName) one whose code holds the byte 0xFF, is refused
// naming it, or with `replaced` becomes '_' and is listed there.
bool Convert(const std::string& utf8, int codePage, bool forName, std::string& out,
             std::vector<std::string>* replaced, std::string& error) {
    out.clear();
    if (!IsSupportedCodePage(codePage)) {
        error = "code page " + std::to_string(codePage) + " is not supported (932 or 1252)";
        return false;
    }
    CharacterConverter converter(codePage);
    for (size_t at = 0; at < utf8.size();) {
        const size_t start = at;
        uint32_t code = 0;
        size_t length = 0;
        if (!NextCharacter(utf8, at, code, length)) {
            error = "not valid UTF-8";
            return false;
        }
        if (code < 0x80) {
            out += static_cast<char>(code);
            continue;
        }
        const std::string character = utf8.substr(start, length);
        std::string bytes;
        if (converter.Convert(character, bytes) && !(forName && bytes.find('\xFF') != std::string::npos)) {
            out += bytes;
            continue;
        }
        char hex[16];
        std::snprintf(hex, sizeof hex, "U+%04X", static_cast<unsigned>(code));
        const std::string named = std::string(hex) + " '" + character + "'";
        if (replaced == nullptr) {
            error = named + " has no code in code page " + std::to_string(codePage);
            return false;
        }
        replaced->push_back(named);
        out += '_';
    }
    return true;
}

}  // namespace

bool IsSupportedCodePage(int codePage) { return codePage == 932 || codePage == 1252; }

bool ConvertFromUtf8(const std::string& utf8, int codePage, std::string& out, std::string& error) {
    return Convert(utf8, codePage, false, out, nullptr, error);
}

bool NameToCodePage(const std::string& utf8, int codePage, std::string& out,
                    std::vector<std::string>& replaced, std::string& error) {
    replaced.clear();
    return Convert(utf8, codePage, true, out, &replaced, error);
}

bool ConvertToUtf8(const std::string& text, int codePage, std::string& out) {
    out.clear();
    if (codePage <= 0) return false;
    if (codePage == kUtf8CodePage) {
        for (size_t at = 0; at < text.size();) {
            uint32_t code;
            size_t length;
            if (!NextCharacter(text, at, code, length)) return false;
        }
        out = text;
        return true;
    }
    if (text.empty()) return true;
#ifdef _WIN32
    const int length = static_cast<int>(text.size());
    const int wideLength = MultiByteToWideChar(static_cast<UINT>(codePage), MB_ERR_INVALID_CHARS, text.data(),
                                               length, nullptr, 0);
    if (wideLength <= 0) return false;
    std::wstring wide(static_cast<size_t>(wideLength), L'\0');
    MultiByteToWideChar(static_cast<UINT>(codePage), MB_ERR_INVALID_CHARS, text.data(), length, wide.data(),
                        wideLength);
    const int utf8Length =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
    if (utf8Length <= 0) return false;
    out.resize(static_cast<size_t>(utf8Length));
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, out.data(), utf8Length, nullptr, nullptr);
    return true;
#else
    iconv_t cd = iconv_open("UTF-8", ("CP" + std::to_string(codePage)).c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    std::string buffer(text.size() * 4, '\0');  // at most 4 bytes of UTF-8 per byte
    char* source = const_cast<char*>(text.data());
    size_t sourceLeft = text.size();
    char* target = buffer.data();
    size_t targetLeft = buffer.size();
    const bool ok = iconv(cd, &source, &sourceLeft, &target, &targetLeft) != static_cast<size_t>(-1);
    iconv_close(cd);
    if (ok) out.assign(buffer.data(), static_cast<size_t>(target - buffer.data()));
    return ok;
#endif
}

}  // namespace pack
