#include "resource_text.h"

#include <vector>

std::wstring ResourceString(int id, LANGID lang) {
    // Strings live in blocks of 16: block id / 16 + 1, counted strings.
    HRSRC found = FindResourceExA(nullptr, RT_STRING, MAKEINTRESOURCEA(id / 16 + 1), lang);
    if (found == nullptr) return {};
    const auto* p = static_cast<const WCHAR*>(LockResource(LoadResource(nullptr, found)));
    for (int i = 0; i < id % 16; ++i) p += 1 + *p;
    return std::wstring(p + 1, *p);
}

std::string ToCodePage(const std::wstring& text, UINT codePage) {
    const int size = WideCharToMultiByte(codePage, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::vector<char> buffer(size > 0 ? size : 1);
    WideCharToMultiByte(codePage, 0, text.c_str(), -1, buffer.data(), size, nullptr, nullptr);
    return buffer.data();
}

std::string ResourceStringIn(int id, LANGID lang, UINT codePage) {
    return ToCodePage(ResourceString(id, lang), codePage);
}
