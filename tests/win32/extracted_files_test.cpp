// The list of extracted files and their removal after the launched command.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "extract/extracted_files.h"
#include "module_test_support.h"

namespace {

class ExtractedFilesTest : public ::testing::Test {
protected:
    void SetUp() override { ReleaseExtractedFileList(); }
    void TearDown() override { ReleaseExtractedFileList(); }

    // Writes a file below the destination and lists it, as the worker does.
    void Extract(const std::string& name) {
        MakeFolders(name);
        WriteText(dest() + name, name);
        AppendExtractedFile(Wide(dest() + name).c_str(), name.find('\\') != std::string::npos);
    }
    // Creates the folders of a relative name below the destination.
    void MakeFolders(const std::string& name) {
        for (size_t at = name.find('\\'); at != std::string::npos; at = name.find('\\', at + 1))
            CreateDirectoryA((dest() + name.substr(0, at)).c_str(), nullptr);
    }
    const std::string& dest() const { return folder_.path(); }

    TempFolder folder_;
};

// The list's units: every path followed by its NUL.
std::wstring ListUnits() {
    const ExtractedFileList& list = g_extractedFiles;
    return list.paths == nullptr ? std::wstring() : std::wstring(list.paths, list.length);
}

TEST_F(ExtractedFilesTest, PathsFollowOneAnotherEachWithItsNul) {
    EXPECT_EQ(g_extractedFiles.paths, nullptr);
    EXPECT_EQ(g_extractedFiles.length, 0u);
    std::wstring expected;
    for (const std::wstring path : {L"C:\\dst\\a.txt", L"C:\\dst\\\u8868\\b.bin", L"\\\\?\\C:\\dst\\\U0001F600.txt"}) {
        AppendExtractedFile(path.c_str(), false);
        expected += path + L'\0';
        EXPECT_EQ(ListUnits(), expected);
    }
    EXPECT_EQ(g_extractedFiles.inFolders, 0);
    // Enough appends to move the block more than once.
    const std::wstring longPath = L"C:\\dst\\sub\\" + std::wstring(200, L'x');
    for (int i = 0; i < 500; i++) {
        AppendExtractedFile(longPath.c_str(), true);
        expected += longPath + L'\0';
    }
    EXPECT_EQ(ListUnits(), expected);
    EXPECT_EQ(g_extractedFiles.inFolders, 1);
    EXPECT_EQ(g_extractedFiles.incomplete, 0);

    ReleaseExtractedFileList();
    EXPECT_EQ(g_extractedFiles.paths, nullptr);
    EXPECT_EQ(g_extractedFiles.length, 0u);
}

TEST_F(ExtractedFilesTest, FilesGoAndTheFoldersTheyLeaveEmptyDeepestFirst) {
    Extract("top.txt");
    Extract("sub\\deep\\inner.bin");
    Extract("sub\\side.txt");
    WriteText(dest() + "mine.txt", "not extracted");
    MakeFolders("kept\\own\\");
    WriteText(dest() + "kept\\own\\note.txt", "not extracted");
    MakeFolders("empty\\before\\");

    RemoveExtractedFiles(Wide(dest()).c_str(), 0);
    EXPECT_FALSE(FileExists(dest() + "top.txt"));
    EXPECT_FALSE(FileExists(dest() + "sub\\side.txt"));
    EXPECT_FALSE(FolderExists(dest() + "sub"));
    // A pass removes every empty folder below the destination.
    EXPECT_FALSE(FolderExists(dest() + "empty"));
    EXPECT_TRUE(FileExists(dest() + "mine.txt"));
    EXPECT_TRUE(FileExists(dest() + "kept\\own\\note.txt"));
    EXPECT_TRUE(FolderExists(dest()));
}

TEST_F(ExtractedFilesTest, ReadOnlyFilesAndFoldersGoToo) {
    Extract("ro\\locked.txt");
    SetFileAttributesA((dest() + "ro\\locked.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    SetFileAttributesA((dest() + "ro").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY);
    RemoveExtractedFiles(Wide(dest()).c_str(), 0);
    EXPECT_FALSE(FileExists(dest() + "ro\\locked.txt"));
    EXPECT_FALSE(FolderExists(dest() + "ro"));
}

TEST_F(ExtractedFilesTest, PrivateDestinationGoesWhenEmpty) {
    Extract("top.txt");
    Extract("sub\\deep\\inner.bin");
    RemoveExtractedFiles(Wide(dest()).c_str(), 1);
    EXPECT_FALSE(FolderExists(dest()));
}

TEST_F(ExtractedFilesTest, PrivateDestinationStaysWithFilesOfItsOwn) {
    Extract("top.txt");
    WriteText(dest() + "installed.txt", "made by the installer");
    RemoveExtractedFiles(Wide(dest()).c_str(), 1);
    EXPECT_FALSE(FileExists(dest() + "top.txt"));
    EXPECT_TRUE(FileExists(dest() + "installed.txt"));
}

TEST_F(ExtractedFilesTest, TopLevelFilesAloneMakeNoFolderPass) {
    Extract("top.txt");
    MakeFolders("empty\\");
    RemoveExtractedFiles(Wide(dest()).c_str(), 0);
    EXPECT_FALSE(FileExists(dest() + "top.txt"));
    EXPECT_TRUE(FolderExists(dest() + "empty"));
}

// Opens a file of the destination without sharing it.
HANDLE OpenUnshared(const std::string& path) {
    return CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}

TEST_F(ExtractedFilesTest, AFileStillOpenStaysWithItsFolders) {
    Extract("sub\\busy.txt");
    Extract("sub\\done.txt");
    HANDLE busy = OpenUnshared(dest() + "sub\\busy.txt");
    ASSERT_NE(busy, INVALID_HANDLE_VALUE);
    const DWORD start = GetTickCount();
    RemoveExtractedFiles(Wide(dest()).c_str(), 1);
    const DWORD took = GetTickCount() - start;
    CloseHandle(busy);
    EXPECT_TRUE(FileExists(dest() + "sub\\busy.txt"));
    EXPECT_FALSE(FileExists(dest() + "sub\\done.txt"));
    // Tried again for about 5 s, and no longer.
    EXPECT_GE(took, 4500u);
    EXPECT_LT(took, 30000u);
}

DWORD WINAPI CloseAfterASecond(void* file) {
    Sleep(1000);
    CloseHandle(static_cast<HANDLE>(file));
    return 0;
}

TEST_F(ExtractedFilesTest, AFileReleasedSoonAfterGoesWithItsFolders) {
    // As the image of a program that is just ending, or a file a scanner
    // looks at: refused at first, free a moment later.
    Extract("sub\\ending.exe");
    Extract("top.txt");
    HANDLE ending = OpenUnshared(dest() + "sub\\ending.exe");
    ASSERT_NE(ending, INVALID_HANDLE_VALUE);
    HANDLE closer = CreateThread(nullptr, 0, CloseAfterASecond, ending, 0, nullptr);
    ASSERT_NE(closer, nullptr);
    RemoveExtractedFiles(Wide(dest()).c_str(), 1);
    WaitForSingleObject(closer, INFINITE);
    CloseHandle(closer);
    EXPECT_FALSE(FileExists(dest() + "sub\\ending.exe"));
    EXPECT_FALSE(FileExists(dest() + "top.txt"));
    EXPECT_FALSE(FolderExists(dest()));
}

TEST_F(ExtractedFilesTest, NothingListedRemovesNothing) {
    // An archive of folders only: nothing is listed, so the folders and
    // even a private destination stay.
    MakeFolders("a\\b\\");
    RemoveExtractedFiles(Wide(dest()).c_str(), 1);
    EXPECT_TRUE(FolderExists(dest() + "a\\b"));
    EXPECT_TRUE(FolderExists(dest()));
}

TEST_F(ExtractedFilesTest, ListThatCannotGrowStaysAsItWasAndIncomplete) {
    // Large enough that the heap keeps it in a block of its own, which
    // grows beyond its last page only by moving to new address space.
    const std::wstring longPath = Wide(dest()) + std::wstring(200, L'x');
    for (int i = 0; i < 8000; i++) AppendExtractedFile(longPath.c_str(), false);
    ASSERT_EQ(g_extractedFiles.incomplete, 0);

    // Reserve all remaining address space, then append until the block
    // cannot grow.  Nothing else runs meanwhile: gtest needs memory too.
    const std::string last = dest() + "last.txt";
    WriteText(last, "x");
    std::vector<void*> reserved;
    reserved.reserve(100000);
    for (SIZE_T size = SIZE_T{1} << 30; size >= 4096; size /= 2) {
        while (reserved.size() < reserved.capacity())
            if (void* block = VirtualAlloc(nullptr, size, MEM_RESERVE, PAGE_NOACCESS))
                reserved.push_back(block);
            else
                break;
    }
    const int kTries = 2000;  // 400 KB more: beyond any slack of the block
    int added = 0;
    uint32_t lengthBefore = 0;
    while (added < kTries) {
        lengthBefore = g_extractedFiles.length;
        AppendExtractedFile(Wide(last).c_str(), false);
        if (g_extractedFiles.incomplete) break;
        added++;
    }
    const uint32_t lengthAfter = g_extractedFiles.length;
    for (void* block : reserved) VirtualFree(block, 0, MEM_RELEASE);

    ASSERT_LT(added, kTries) << "the block never failed to grow";
    EXPECT_EQ(lengthAfter, lengthBefore);
    std::wstring expected;
    for (int i = 0; i < 8000; i++) expected += longPath + L'\0';
    for (int i = 0; i < added; i++) expected += Wide(last) + L'\0';
    EXPECT_TRUE(ListUnits() == expected);

    // Later paths still find room once there is memory again, and the
    // clean-up deletes what the list holds.
    AppendExtractedFile(Wide(last).c_str(), false);
    EXPECT_EQ(g_extractedFiles.length, lengthAfter + last.size() + 1);
    RemoveExtractedFiles(Wide(dest()).c_str(), 0);
    EXPECT_FALSE(FileExists(last));
}

TEST_F(ExtractedFilesTest, TreesPastMaxPathAndNamesOfAnyScriptGo) {
    // Five folders of 60 characters: the file lies about 330 deep.
    std::wstring folder = LongPath(Wide(dest()));
    for (int level = 0; level < 5; level++) {
        folder += std::wstring(59, static_cast<wchar_t>(L'a' + level)) + L"\u00e9\\";
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    }
    const std::wstring deep = folder + L"\u8868\u793a\U0001F600.txt";
    HANDLE file = CreateFileW(deep.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    AppendExtractedFile(deep.c_str(), true);
    RemoveExtractedFiles(Wide(dest()).c_str(), 1);
    EXPECT_FALSE(FileExists(deep));
    EXPECT_FALSE(FolderExists(Wide(dest())));
}

class RemoveEmptyFoldersTest : public ExtractedFilesTest {};

TEST_F(RemoveEmptyFoldersTest, KeepsTheRootAndEveryFile) {
    MakeFolders("a\\b\\c\\");
    MakeFolders("d\\");
    WriteText(dest() + "d\\file.txt", "x");
    EXPECT_EQ(RemoveEmptyFolders(Wide(dest()).c_str(), Wide(dest()).c_str()), 1);
    EXPECT_FALSE(FolderExists(dest() + "a"));
    EXPECT_TRUE(FileExists(dest() + "d\\file.txt"));
    EXPECT_TRUE(FolderExists(dest()));
}

TEST_F(RemoveEmptyFoldersTest, RootIsComparedWithoutRegardToCase) {
    MakeFolders("Sub\\");
    std::string upper = dest();
    CharUpperA(upper.data());
    EXPECT_EQ(RemoveEmptyFolders(Wide((dest() + "Sub")).c_str(), Wide((dest() + "SUB")).c_str()), 1);
    EXPECT_TRUE(FolderExists(dest() + "Sub"));
    EXPECT_EQ(RemoveEmptyFolders(Wide((dest() + "Sub")).c_str(), Wide(upper).c_str()), 1);
    EXPECT_FALSE(FolderExists(dest() + "Sub"));
}

TEST_F(RemoveEmptyFoldersTest, RefusesNamesEndingWithADotAndMissingFolders) {
    MakeFolders("x\\");
    EXPECT_EQ(RemoveEmptyFolders(Wide((dest() + "x\\.")).c_str(), Wide(dest()).c_str()), 0);
    EXPECT_EQ(RemoveEmptyFolders(Wide((dest() + "missing")).c_str(), Wide(dest()).c_str()), 0);
    EXPECT_EQ(RemoveEmptyFolders(L"", Wide(dest()).c_str()), 0);
    EXPECT_TRUE(FolderExists(dest() + "x"));
}

TEST_F(RemoveEmptyFoldersTest, PathsTooLongForItsBuffersAreLeftAlone) {
    // A folder whose search pattern would not fit is not listed.
    const std::string tooLong = dest() + std::string(900, 'y');
    EXPECT_EQ(RemoveEmptyFolders(Wide(tooLong).c_str(), Wide(dest()).c_str()), 0);
}

}  // namespace
