// WOW64 file-system redirection: the query, and the system folder's view
// switched off and on again for the calling thread only.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <thread>

#include "launch/wow64.h"
#include "module_test_support.h"

namespace {

// The machine a PE file is built for, from its file header; 0 if unreadable.
WORD MachineOf(const std::string& path) {
    const std::vector<uint8_t> bytes = ReadBytes(path);
    if (bytes.size() < sizeof(IMAGE_DOS_HEADER)) return 0;
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(bytes.data());
    const size_t at = static_cast<size_t>(dos->e_lfanew) + 4;
    if (at + sizeof(IMAGE_FILE_HEADER) > bytes.size()) return 0;
    return reinterpret_cast<const IMAGE_FILE_HEADER*>(bytes.data() + at)->Machine;
}

std::string SystemKernel() {
    char folder[MAX_PATH];
    GetSystemDirectoryA(folder, sizeof folder);
    return std::string(folder) + "\\kernel32.dll";
}

TEST(Wow64Redirection, SwitchesTheViewOfTheSystemFolderForThisThread) {
    BOOL wow64 = FALSE;
    IsWow64Process(GetCurrentProcess(), &wow64);
    const std::string kernel = SystemKernel();
    ASSERT_EQ(MachineOf(kernel), IMAGE_FILE_MACHINE_I386);
    if (!wow64) {
        // A 32-bit system: nothing to query or switch.
        EXPECT_EQ(Wow64Redirection(kWow64Query), 0);
        EXPECT_EQ(Wow64Redirection(kWow64Off), 0);
        EXPECT_EQ(MachineOf(kernel), IMAGE_FILE_MACHINE_I386);
        return;
    }
    EXPECT_NE(Wow64Redirection(kWow64Query), 0);
    EXPECT_NE(Wow64Redirection(kWow64Off), 0);
    EXPECT_EQ(MachineOf(kernel), IMAGE_FILE_MACHINE_AMD64);
    WORD otherThread = 0;
    std::thread([&] { otherThread = MachineOf(kernel); }).join();
    EXPECT_EQ(otherThread, IMAGE_FILE_MACHINE_I386);
    EXPECT_NE(Wow64Redirection(kWow64On), 0);
    EXPECT_EQ(MachineOf(kernel), IMAGE_FILE_MACHINE_I386);
    // Asked again, the answers stay.
    EXPECT_NE(Wow64Redirection(kWow64Query), 0);
}

}  // namespace
