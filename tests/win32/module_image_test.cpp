// The built module's image: four sections (no initialised writable data),
// the resources last and ending at the end of the file, and imports from
// KnownDLLs and COMCTL32 only.
// (tests/win32/check_module_image.py checks the hardening on the host.)
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "app/config.h"
#include "module_test_support.h"
#include "pe/image_end.h"

namespace {

class ModuleImage : public ::testing::Test {
protected:
    void SetUp() override {
        const char* module = std::getenv("SFX_MODULE");
        ASSERT_NE(module, nullptr) << "SFX_MODULE names the built sfx.exe";
        file_ = ReadBytes(module);
        ASSERT_GT(file_.size(), 1024u);
        const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(file_.data());
        ASSERT_EQ(dos->e_magic, IMAGE_DOS_SIGNATURE);
        ASSERT_LT(static_cast<size_t>(dos->e_lfanew) + sizeof(IMAGE_NT_HEADERS32), file_.size());
        nt_ = reinterpret_cast<const IMAGE_NT_HEADERS32*>(file_.data() + dos->e_lfanew);
        ASSERT_EQ(nt_->Signature, IMAGE_NT_SIGNATURE);
        sections_ = IMAGE_FIRST_SECTION(nt_);
    }

    // File offset of an RVA, or 0 when no section holds it.
    size_t OffsetOf(DWORD rva) const {
        for (int i = 0; i < nt_->FileHeader.NumberOfSections; i++) {
            const IMAGE_SECTION_HEADER& s = sections_[i];
            if (rva >= s.VirtualAddress && rva < s.VirtualAddress + s.SizeOfRawData)
                return rva - s.VirtualAddress + s.PointerToRawData;
        }
        return 0;
    }

    std::string TextAt(DWORD rva) const {
        const size_t offset = OffsetOf(rva);
        if (offset == 0) return "";
        const char* text = reinterpret_cast<const char*>(file_.data() + offset);
        return std::string(text, strnlen(text, file_.size() - offset));
    }

    std::vector<uint8_t> file_;
    const IMAGE_NT_HEADERS32* nt_ = nullptr;
    const IMAGE_SECTION_HEADER* sections_ = nullptr;
};

TEST_F(ModuleImage, ResourcesLastEndingAtTheEndOfTheFile) {
    ASSERT_EQ(nt_->FileHeader.NumberOfSections, 4);
    const char* names[] = {".text", ".bss", ".reloc", ".rsrc"};
    for (int i = 0; i < 4; i++) EXPECT_STREQ(reinterpret_cast<const char*>(sections_[i].Name), names[i]);
    EXPECT_EQ(sections_[1].SizeOfRawData, 0u);  // zero-initialised data takes no file space
    const IMAGE_SECTION_HEADER& last = sections_[3];
    EXPECT_EQ(last.PointerToRawData + last.SizeOfRawData, file_.size());
    EXPECT_EQ(nt_->OptionalHeader.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);
    EXPECT_EQ(nt_->FileHeader.TimeDateStamp, 0u);
    EXPECT_LE(file_.size(), 44u * 1024u);
}

// Only KnownDLLs, which Windows always takes from the system folder, and
// COMCTL32, which the manifest makes a side-by-side assembly: a library of
// another name planted beside a package would be loaded before any of the
// module's code runs.
TEST_F(ModuleImage, ImportsOnlyKnownSystemLibraries) {
    const IMAGE_DATA_DIRECTORY& directory = nt_->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    const size_t offset = OffsetOf(directory.VirtualAddress);
    ASSERT_NE(offset, 0u);
    const std::set<std::string> allowed = {"ADVAPI32.DLL", "COMCTL32.DLL", "GDI32.DLL", "KERNEL32.DLL",
                                           "OLE32.DLL",    "SHELL32.DLL",  "USER32.DLL"};
    std::set<std::string> imported;
    for (size_t at = offset; at + sizeof(IMAGE_IMPORT_DESCRIPTOR) <= file_.size();
         at += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        const auto* entry = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(file_.data() + at);
        if (entry->Name == 0) break;
        std::string name = TextAt(entry->Name);
        for (char& c : name) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
        imported.insert(name);
    }
    EXPECT_TRUE(imported.count("KERNEL32.DLL"));
    for (const std::string& name : imported) EXPECT_TRUE(allowed.count(name)) << name;
}

TEST_F(ModuleImage, HoldsNothingTheArchiveScannerCouldTakeForAHeader) {
    // The scanner tries every "-lh" and "-lz" from the start of the file;
    // none may lie in the module, or it could show "invalid header.".
    for (size_t i = 0; i + 3 <= file_.size(); i++)
        ASSERT_FALSE(file_[i] == '-' && file_[i + 1] == 'l' && (file_[i + 2] == 'h' || file_[i + 2] == 'z'))
            << "at offset " << i;
}

TEST(FindImageEnd, TheModuleEndsAtTheEndOfItsFile) {
    const char* module = std::getenv("SFX_MODULE");
    ASSERT_NE(module, nullptr) << "SFX_MODULE names the built sfx.exe";
    const std::vector<uint8_t> file = ReadBytes(module);
    ASSERT_GT(file.size(), 4096u);
    EXPECT_EQ(FindImageEnd(file.data(), 4096), file.size());
}

TEST(FindImageEnd, LoadedModuleGivesWhatItsFileGives) {
    const std::vector<uint8_t> file = ReadBytes(ModuleFileName());
    ASSERT_GT(file.size(), 4096u);
    const uint32_t fromFile = FindImageEnd(file.data(), 4096);
    EXPECT_GT(fromFile, 0u);
    EXPECT_LE(fromFile, file.size());
    EXPECT_EQ(FindImageEnd(GetModuleHandleA(nullptr)), fromFile);
}

}  // namespace
