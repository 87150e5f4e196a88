// The module's own C runtime functions (over Win32) against the C library's.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <cwchar>
#include <string>

#include "app/runtime.h"
#include "module_test_support.h"

namespace {

TEST(Runtime, TextFunctionsAgreeWithTheCLibrary) {
    const char* texts[] = {"", "a", "abcabc", "x\\y\\z", "\x95\x5c\x83\x5c"};
    for (const char* t : texts) {
        SCOPED_TRACE(t);
        EXPECT_EQ(rt::Length(t), std::strlen(t));
        for (int c : {int{'a'}, int{'c'}, int{'\\'}, 0, int{'q'}, 0x95 - 256}) {
            EXPECT_EQ(rt::Find(t, c), std::strchr(t, c)) << c;
            EXPECT_EQ(rt::FindLast(t, c), std::strrchr(t, c)) << c;
        }
        for (const char* part : {"", "b", "ca", "abcabcd", "\\z"})
            EXPECT_EQ(rt::FindText(t, part), std::strstr(t, part)) << part;
    }
    EXPECT_EQ(rt::CompareN("abc", "abd", 2), 0);
    EXPECT_LT(rt::CompareN("abc", "abd", 3), 0);
    EXPECT_GT(rt::CompareN("ab\xE0", "ab", 5), 0);  // unsigned, and stops at the shorter end
    EXPECT_EQ(rt::CompareN("ab", "ab", 9), 0);

    const wchar_t* wide = L"one\\two\\three";
    EXPECT_EQ(rt::Length(wide), std::wcslen(wide));
    EXPECT_EQ(rt::Find(wide, L'\\'), std::wcschr(wide, L'\\'));
    EXPECT_EQ(rt::FindLast(wide, L'\\'), std::wcsrchr(wide, L'\\'));
    EXPECT_EQ(rt::Find(wide, L'\0'), wide + std::wcslen(wide));
    EXPECT_EQ(rt::FindAny(wide, L":\\"), std::wcspbrk(wide, L":\\"));
    EXPECT_EQ(rt::FindAny(wide, L":;"), nullptr);
    EXPECT_EQ(rt::FindText(wide, L"two"), std::wcsstr(wide, L"two"));
    EXPECT_EQ(rt::FindText(wide, L"threes"), nullptr);
    wchar_t copy[32];
    EXPECT_EQ(rt::Copy(copy, wide), copy);
    EXPECT_STREQ(copy, wide);
}

TEST(Runtime, ByteFunctionsHandleOverlap) {
    char bytes[16] = "0123456789";
    rt::CopyBytes(bytes + 2, bytes, 8);  // forwards onto itself: copies backwards
    EXPECT_STREQ(bytes, "0101234567");
    rt::CopyBytes(bytes, bytes + 2, 8);
    EXPECT_STREQ(bytes, "0123456767");
    rt::FillBytes(bytes, 'x', 3);
    EXPECT_EQ(std::string(bytes, 4), "xxx3");
    EXPECT_EQ(rt::CompareBytes("ab\x80", "ab\x01", 3) > 0, true);
    EXPECT_EQ(rt::CompareBytes("abc", "abd", 2), 0);
}

TEST(Runtime, FilesAndHeap) {
    TempFolder folder;
    const std::string path = folder.path() + "data.bin";
    WriteText(path, "0123456789");
    FILE* in = rt::Open(Wide(path).c_str());
    ASSERT_NE(in, nullptr);
    char buffer[16] = {};
    EXPECT_EQ(rt::Seek(in, 4, SEEK_SET), 0);
    EXPECT_EQ(rt::Read(buffer, 1, 16, in), 6u);  // short at the end of the file
    EXPECT_STREQ(buffer, "456789");
    EXPECT_EQ(rt::Read(buffer, 1, 4, in), 0u);
    EXPECT_EQ(rt::Seek(in, -3, SEEK_END), 0);
    EXPECT_EQ(rt::Tell(in), 7);
    EXPECT_EQ(rt::Seek(in, 100, SEEK_SET), 0);  // past the end, as fseek allows
    EXPECT_EQ(rt::Read(buffer, 1, 4, in), 0u);
    EXPECT_EQ(rt::Seek(in, -1, SEEK_SET), -1);
    EXPECT_EQ(rt::Close(in), 0);
    EXPECT_EQ(rt::Open(Wide(folder.path() + "missing").c_str()), nullptr);

    auto* zeroed = static_cast<unsigned char*>(rt::AllocateZeroed(1000, 3));
    ASSERT_NE(zeroed, nullptr);
    for (int i = 0; i < 3000; i++) ASSERT_EQ(zeroed[i], 0) << i;
    rt::Free(zeroed);
    rt::Free(nullptr);
    EXPECT_EQ(rt::AllocateZeroed(0x10000, 0x10000), nullptr);  // count * size overflows
}

}  // namespace
