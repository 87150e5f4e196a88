// Reads string table entries in a chosen language straight from the test
// program's resources, independent of the user-interface language.
#pragma once

#include <windows.h>

#include <string>

// Entry id of language lang as UTF-16; empty when missing.
std::wstring ResourceString(int id, LANGID lang);
// The same converted to code page codePage, as LoadStringA would give it on
// a system with that code page.
std::string ResourceStringIn(int id, LANGID lang, UINT codePage);
std::string ToCodePage(const std::wstring& text, UINT codePage);

constexpr LANGID kEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
constexpr LANGID kJapanese = MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT);
constexpr UINT kShiftJis = 932;
