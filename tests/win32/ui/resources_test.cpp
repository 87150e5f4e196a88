// The module's resources: dialogs, strings, icons, version block and
// manifest, checked in both languages against what the code relies on.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "dialog_template.h"
#include "res/resource.h"
#include "resource_text.h"

namespace {

const LANGID kLanguages[] = {kEnglish, kJapanese};
const int kDialogs[] = {IDD_DESTINATION, IDD_CRC_CHECK, IDD_CONFIRM_REPLACE, IDD_PROGRESS};

UINT CodePageOf(LANGID lang) { return lang == kJapanese ? kShiftJis : 1252; }

// The printf conversions of a text, "%%" included, in order.
std::vector<std::string> Conversions(const std::string& text) {
    std::vector<std::string> found;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') continue;
        size_t end = i + 1;
        while (end < text.size() && strchr("0123456789-+ #.l", text[end]) != nullptr) ++end;
        found.push_back(text.substr(i, end - i + 1));
        i = end;
    }
    return found;
}

std::set<int> ControlIds(const DialogTemplate& dialog) {
    std::set<int> ids;
    for (const TemplateItem& item : dialog.items) ids.insert(item.id);
    return ids;
}

}  // namespace

TEST(Resources, EveryDialogIsAClassicHiddenTemplateInBothLanguages) {
    for (LANGID lang : kLanguages) {
        for (int id : kDialogs) {
            SCOPED_TRACE(testing::Message() << "dialog " << id << " language " << lang);
            const DialogTemplate dialog = ReadDialogTemplate(id, lang);
            ASSERT_TRUE(dialog.found);
            ASSERT_FALSE(dialog.extended);
            const DWORD frame = WS_POPUP | DS_MODALFRAME | DS_CENTER | DS_SETFONT;
            EXPECT_EQ(dialog.style & frame, frame);
            EXPECT_EQ(dialog.style & WS_VISIBLE, 0u);
            EXPECT_EQ(dialog.pointSize, 9);
            EXPECT_EQ(dialog.font, lang == kJapanese ? L"ＭＳ Ｐゴシック" : L"MS Shell DLG");
            const DWORD captioned = WS_CAPTION | WS_SYSMENU | DS_SETFOREGROUND;
            if (id == IDD_CRC_CHECK) {
                EXPECT_EQ(dialog.style & WS_CAPTION, 0u);
                EXPECT_TRUE(dialog.title.empty());
            } else {
                EXPECT_EQ(dialog.style & captioned, captioned);
                EXPECT_FALSE(dialog.title.empty());
            }
            EXPECT_EQ((dialog.style & WS_MINIMIZEBOX) != 0, id == IDD_DESTINATION);
        }
    }
}

TEST(Resources, BothLanguagesHaveTheControlsTheCodeUses) {
    const std::set<int> expected[] = {
        {-1, IDC_DESTINATION, IDC_BROWSE, IDC_ARCHIVE_FOLDER, IDOK, IDCANCEL},
        {-1, IDC_PROGRESS_BAR},
        {IDC_REPLACE_ICON, IDC_REPLACE_PROMPT, -1, IDC_EXISTING_ICON, IDC_EXISTING_LINE, IDC_ENTRY_ICON,
         IDC_ENTRY_LINE, IDYES, IDNO, IDC_YES_TO_ALL, IDC_NEWER, IDC_CANCEL_RUN},
        {-1, IDC_PROGRESS_BAR, IDCANCEL, IDC_ENTRY_NAME},
    };
    for (int d = 0; d < 4; ++d) {
        const DialogTemplate english = ReadDialogTemplate(kDialogs[d], kEnglish);
        const DialogTemplate japanese = ReadDialogTemplate(kDialogs[d], kJapanese);
        EXPECT_EQ(ControlIds(english), expected[d]) << "dialog " << kDialogs[d];
        ASSERT_EQ(english.items.size(), japanese.items.size()) << "dialog " << kDialogs[d];
        for (size_t i = 0; i < english.items.size(); ++i) {
            const TemplateItem& a = english.items[i];
            const TemplateItem& b = japanese.items[i];
            EXPECT_EQ(a.id, b.id);
            EXPECT_EQ(a.style, b.style) << "control " << a.id;
            EXPECT_EQ(a.classAtom, b.classAtom) << "control " << a.id;
            EXPECT_EQ(a.className, b.className) << "control " << a.id;
        }
    }
}

TEST(Resources, ControlsAreVisibleInsideTheirDialogAndDoNotOverlap) {
    for (LANGID lang : kLanguages) {
        for (int id : kDialogs) {
            const DialogTemplate dialog = ReadDialogTemplate(id, lang);
            const std::vector<TemplateItem>& items = dialog.items;
            for (size_t i = 0; i < items.size(); ++i) {
                SCOPED_TRACE(testing::Message()
                             << "dialog " << id << " language " << lang << " control " << items[i].id);
                const RECT& r = items[i].box;
                EXPECT_NE(items[i].style & (WS_CHILD | WS_VISIBLE), 0u);
                EXPECT_GE(r.left, 0);
                EXPECT_GE(r.top, 0);
                EXPECT_LE(r.right, dialog.width);
                EXPECT_LE(r.bottom, dialog.height);
                for (size_t j = i + 1; j < items.size(); ++j) {
                    RECT overlap;
                    EXPECT_FALSE(IntersectRect(&overlap, &r, &items[j].box))
                        << "overlaps control " << items[j].id;
                }
            }
        }
    }
}

TEST(Resources, ControlKindsMatchTheirUse) {
    for (LANGID lang : kLanguages) {
        const DialogTemplate replace = ReadDialogTemplate(IDD_CONFIRM_REPLACE, lang);
        for (const TemplateItem& item : replace.items) {
            const bool icon =
                item.id == IDC_REPLACE_ICON || item.id == IDC_EXISTING_ICON || item.id == IDC_ENTRY_ICON;
            if (icon) {
                EXPECT_TRUE(item.classAtom == 0x82 || lstrcmpiW(item.className.c_str(), L"Static") == 0)
                    << item.id;
                EXPECT_EQ(item.style & SS_TYPEMASK, static_cast<DWORD>(SS_ICON)) << item.id;
            }
            if (item.id == IDC_REPLACE_ICON) EXPECT_EQ(item.textOrdinal, IDI_REPLACE);
            if (item.id == IDYES) EXPECT_EQ(item.style & BS_TYPEMASK, static_cast<DWORD>(BS_DEFPUSHBUTTON));
        }
        const DialogTemplate destination = ReadDialogTemplate(IDD_DESTINATION, lang);
        for (const TemplateItem& item : destination.items) {
            if (item.id == IDC_ARCHIVE_FOLDER)
                EXPECT_EQ(item.style & BS_TYPEMASK, static_cast<DWORD>(BS_AUTOCHECKBOX));
            if (item.id == IDC_DESTINATION) {
                EXPECT_EQ(item.classAtom, 0x81);
                EXPECT_NE(item.style & ES_AUTOHSCROLL, 0u);
            }
            if (item.id == IDOK) EXPECT_EQ(item.style & BS_TYPEMASK, static_cast<DWORD>(BS_DEFPUSHBUTTON));
        }
        for (int id : {IDD_CRC_CHECK, IDD_PROGRESS}) {
            for (const TemplateItem& item : ReadDialogTemplate(id, lang).items) {
                if (item.id == IDC_PROGRESS_BAR)  // class names ignore case
                    EXPECT_EQ(lstrcmpiW(item.className.c_str(), L"msctls_progress32"), 0);
            }
        }
    }
}

TEST(Resources, ReplacePromptIsAFormatForTheFileNameThatFitsItsBuffer) {
    for (LANGID lang : kLanguages) {
        for (const TemplateItem& item : ReadDialogTemplate(IDD_CONFIRM_REPLACE, lang).items) {
            if (item.id != IDC_REPLACE_PROMPT) continue;
            const std::string text = ToCodePage(item.text, CodePageOf(lang));
            EXPECT_EQ(Conversions(text), std::vector<std::string>{"%s"});
            EXPECT_LT(text.size(), 64u);  // the dialog reads at most 64 bytes
        }
    }
}

TEST(Resources, StringTableEntriesExistAndFitTheirBuffers) {
    for (LANGID lang : kLanguages) {
        for (int id = 1; id <= IDS_SWITCHES; ++id) {
            const std::string text = ResourceStringIn(id, lang, CodePageOf(lang));
            EXPECT_FALSE(text.empty()) << "entry " << id << " language " << lang;
            const size_t buffer = id == IDS_CRC32_ERROR ? 256 : id == IDS_SWITCHES ? 768 : 128;
            EXPECT_LT(text.size(), buffer) << "entry " << id << " language " << lang;
        }
        EXPECT_TRUE(ResourceString(IDS_SWITCHES + 1, lang).empty());
    }
}

TEST(Resources, FormatEntriesTakeTheArgumentsTheCodePasses) {
    for (LANGID lang : kLanguages) {
        for (int id = 1; id <= IDS_SWITCHES; ++id) {
            SCOPED_TRACE(testing::Message() << "entry " << id << " language " << lang);
            const std::vector<std::string> found = Conversions(ResourceStringIn(id, lang, CodePageOf(lang)));
            switch (id) {
            case IDS_CREATE_FOLDER_QUESTION:
            case IDS_INVALID_FILENAME:
            case IDS_PATH_TOO_LONG: EXPECT_EQ(found, std::vector<std::string>{"%s"}); break;
            case IDS_MORE_SKIPPED: EXPECT_EQ(found, std::vector<std::string>{"%u"}); break;
            case IDS_CRC32_ERROR:  // the English form leaves the name out
                EXPECT_EQ(found,
                          lang == kJapanese ? std::vector<std::string>{"%s"} : std::vector<std::string>{});
                break;
            case IDS_DATE_LINE: {
                // The order differs per language; the year is the one "%04d".
                std::vector<std::string> sorted = found;
                std::sort(sorted.begin(), sorted.end());
                EXPECT_EQ(sorted,
                          (std::vector<std::string>{"%%", "%02d", "%02d", "%02d", "%02d", "%02d", "%04d"}));
                EXPECT_EQ(found.empty() ? std::string() : found[0], "%%");
                break;
            }
            default: EXPECT_TRUE(found.empty());
            }
        }
    }
}

TEST(Resources, DateLineFormsAreToldApartByByte) {
    const std::string english = ResourceStringIn(IDS_DATE_LINE, kEnglish, 1252);
    const std::string japanese = ResourceStringIn(IDS_DATE_LINE, kJapanese, kShiftJis);
    EXPECT_NE(english.find("Byte"), std::string::npos);
    EXPECT_EQ(english.find('?'), std::string::npos);
    EXPECT_EQ(japanese.find("Byte"), std::string::npos);
    const size_t mark = japanese.find("??");
    ASSERT_NE(mark, std::string::npos);
    EXPECT_EQ(japanese.find('?', mark + 2), std::string::npos);  // one pair only
}

TEST(Resources, FolderErrorIsOneLineInJapaneseAndTwoInEnglish) {
    EXPECT_NE(ResourceString(IDS_FOLDER_FORBIDDEN, kEnglish).find(L'\n'), std::wstring::npos);
    EXPECT_EQ(ResourceString(IDS_FOLDER_FORBIDDEN, kJapanese).find(L'\n'), std::wstring::npos);
}

namespace {

#pragma pack(push, 2)
struct GroupIconEntry {
    BYTE width, height, colours, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD iconId;
};
#pragma pack(pop)

BOOL CALLBACK FirstName(HMODULE, LPCSTR, LPSTR name, LONG_PTR data) {
    *reinterpret_cast<LPSTR*>(data) = name;
    return FALSE;
}

// The bitmap forms of the icons, as RCDATA at this id plus the group's
// (bitmap_references.rc).
constexpr int kBitmapReference = 900;

// The PNG signature and the header chunk's fields.
constexpr BYTE kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

DWORD BigEndian(const BYTE* bytes) { return bytes[0] << 24 | bytes[1] << 16 | bytes[2] << 8 | bytes[3]; }

// The image of a one-image group: its directory entry and bytes.
const BYTE* GroupImage(int group, GroupIconEntry* entry, DWORD* size) {
    HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(group), RT_GROUP_ICON);
    if (found == nullptr) return nullptr;
    const auto* header = static_cast<const WORD*>(LockResource(LoadResource(nullptr, found)));
    if (header[1] != 1 || header[2] != 1) return nullptr;  // icons, one image
    memcpy(entry, header + 3, sizeof *entry);
    HRSRC image = FindResourceA(nullptr, MAKEINTRESOURCEA(entry->iconId), RT_ICON);
    if (image == nullptr) return nullptr;
    *size = SizeofResource(nullptr, image);
    return static_cast<const BYTE*>(LockResource(LoadResource(nullptr, image)));
}

// What the system draws of a 32x32 icon over a plain background.
std::vector<COLORREF> Drawn(HICON icon, COLORREF background) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = 32;
    info.bmiHeader.biHeight = -32;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP target = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    std::vector<COLORREF> pixels;
    if (target != nullptr) {
        HGDIOBJ old = SelectObject(dc, target);
        HBRUSH brush = CreateSolidBrush(background);
        RECT all = {0, 0, 32, 32};
        FillRect(dc, &all, brush);
        if (DrawIconEx(dc, 0, 0, icon, 32, 32, 0, nullptr, DI_NORMAL)) {
            GdiFlush();
            for (int i = 0; i < 32 * 32; ++i) {
                const DWORD pixel = static_cast<const DWORD*>(bits)[i];
                pixels.push_back(RGB((pixel >> 16) & 255, (pixel >> 8) & 255, pixel & 255));
            }
        }
        SelectObject(dc, old);
        DeleteObject(brush);
        DeleteObject(target);
    }
    DeleteDC(dc);
    return pixels;
}

// The same pixels from a one-image .ico file of a bitmap, read by hand:
// the colour table's colours where the mask is clear, the background where
// it is set.
std::vector<COLORREF> StoredPixels(const BYTE* file, COLORREF background) {
    const BYTE* image = file + 22;
    BITMAPINFOHEADER header;
    memcpy(&header, image, sizeof header);
    const int depth = header.biBitCount;
    const DWORD colours = header.biClrUsed != 0 ? header.biClrUsed : 1u << depth;
    const RGBQUAD* table = reinterpret_cast<const RGBQUAD*>(image + header.biSize);
    const BYTE* colour = reinterpret_cast<const BYTE*>(table + colours);
    const BYTE* mask = colour + 32 * 32 * depth / 8;
    std::vector<COLORREF> pixels;
    for (int y = 0; y < 32; ++y) {
        const int row = 31 - y;  // stored bottom-up
        for (int x = 0; x < 32; ++x) {
            const bool transparent = (mask[row * 4 + x / 8] >> (7 - x % 8)) & 1;
            const BYTE byte = colour[row * 32 * depth / 8 + x * depth / 8];
            const DWORD index = depth == 8 ? byte : (x % 2 == 0 ? byte >> 4 : byte & 15);
            pixels.push_back(transparent || index >= colours
                                 ? background
                                 : RGB(table[index].rgbRed, table[index].rgbGreen, table[index].rgbBlue));
        }
    }
    return pixels;
}

}  // namespace

TEST(Resources, IconsAre32PixelPngsWithTheirColourDepthAndTheModuleIconFirst) {
    LPSTR first = nullptr;
    EnumResourceNamesA(nullptr, RT_GROUP_ICON, FirstName, reinterpret_cast<LONG_PTR>(&first));
    EXPECT_EQ(reinterpret_cast<ULONG_PTR>(first), static_cast<ULONG_PTR>(IDI_MODULE));

    const struct {
        int group;
        int bits;
    } icons[] = {{IDI_MODULE, 8}, {IDI_REPLACE, 4}};
    for (const auto& icon : icons) {
        SCOPED_TRACE(testing::Message() << "icon group " << icon.group);
        GroupIconEntry entry;
        DWORD size = 0;
        const BYTE* image = GroupImage(icon.group, &entry, &size);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(entry.width, 32);
        EXPECT_EQ(entry.height, 32);
        EXPECT_EQ(entry.bitCount, icon.bits);
        EXPECT_EQ(size, entry.bytes);
        // A palette image (colour type 3) of the group's depth.
        ASSERT_GT(size, 33u);
        ASSERT_EQ(memcmp(image, kPngSignature, 8), 0);
        ASSERT_EQ(memcmp(image + 12, "IHDR", 4), 0);
        EXPECT_EQ(BigEndian(image + 16), 32u);
        EXPECT_EQ(BigEndian(image + 20), 32u);
        EXPECT_EQ(image[24], icon.bits);
        EXPECT_EQ(image[25], 3);
    }
}

// The system reads the PNG images as the bitmaps they were made from
// (tests/win32/ui/*-bitmap.ico, written beside them by draw_icons.py): both
// drawn over a plain background give the bitmap's stored pixels.
TEST(Resources, IconsDrawAsTheBitmapsTheyWereMadeFrom) {
    const COLORREF background = RGB(0, 160, 0);
    for (int group : {IDI_MODULE, IDI_REPLACE}) {
        SCOPED_TRACE(testing::Message() << "icon group " << group);
        HICON icon = static_cast<HICON>(
            LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(group), IMAGE_ICON, 32, 32, 0));
        ASSERT_NE(icon, nullptr);
        const std::vector<COLORREF> drawn = Drawn(icon, background);
        DestroyIcon(icon);

        HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(kBitmapReference + group), RT_RCDATA);
        ASSERT_NE(found, nullptr);
        const auto* file = static_cast<const BYTE*>(LockResource(LoadResource(nullptr, found)));
        DWORD imageSize;
        memcpy(&imageSize, file + 14, 4);
        HICON reference = CreateIconFromResourceEx(const_cast<BYTE*>(file + 22), imageSize, TRUE, 0x00030000,
                                                   32, 32, 0);
        ASSERT_NE(reference, nullptr);
        const std::vector<COLORREF> stored = StoredPixels(file, background);
        EXPECT_EQ(Drawn(reference, background), stored);  // the bitmap is drawn as stored
        DestroyIcon(reference);

        ASSERT_EQ(drawn.size(), stored.size());
        int differences = 0;
        for (size_t i = 0; i < drawn.size(); ++i) differences += drawn[i] != stored[i];
        EXPECT_EQ(differences, 0);
    }
}

TEST(Resources, VersionBlockNamesTheProjectAndItsVersions) {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, sizeof path);
    DWORD unused;
    const DWORD size = GetFileVersionInfoSizeA(path, &unused);
    ASSERT_GT(size, 0u);
    std::vector<char> block(size);
    ASSERT_TRUE(GetFileVersionInfoA(path, 0, size, block.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(0, 1));
    EXPECT_EQ(fixed->dwFileVersionLS, MAKELONG(0, 3));
    EXPECT_EQ(fixed->dwProductVersionMS, MAKELONG(47, 1));
    EXPECT_EQ(fixed->dwProductVersionLS, MAKELONG(1, 0));
    EXPECT_EQ(fixed->dwFileFlagsMask, 0x3Fu);
    EXPECT_EQ(fixed->dwFileFlags, 0u);
    EXPECT_EQ(fixed->dwFileOS, static_cast<DWORD>(VOS_NT_WINDOWS32));
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

    auto value = [&](const char* key) {
        char query[128];
        wsprintfA(query, "\\StringFileInfo\\000004b0\\%s", key);
        char* text = nullptr;
        UINT chars = 0;
        if (!VerQueryValueA(block.data(), query, reinterpret_cast<void**>(&text), &chars))
            return std::string("<missing>");
        return std::string(text);
    };
    EXPECT_EQ(value("ProductName"), "lzhsfx");
    EXPECT_NE(value("CompanyName").find("lzhsfx"), std::string::npos);
    EXPECT_NE(value("FileDescription").find("lzhsfx"), std::string::npos);
    EXPECT_EQ(value("FileVersion"), "1.0.0003");
    EXPECT_EQ(value("ProductVersion"), "1.47        ");
    EXPECT_EQ(value("OriginalFilename"), value("InternalName") + ".exe");
    EXPECT_EQ(value("Comments"), " ");
    for (const char* empty : {"LegalTrademarks", "PrivateBuild", "SpecialBuild"})
        EXPECT_EQ(value(empty), "") << empty;

    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &length));
    ASSERT_EQ(length, 4u);
    EXPECT_EQ(translation[0], 0x0000);
    EXPECT_EQ(translation[1], 0x04B0);
}

TEST(Resources, ManifestIsValidAndAsksForAdministratorAndCommonControls6) {
    HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    ASSERT_NE(found, nullptr);
    const std::string manifest(static_cast<const char*>(LockResource(LoadResource(nullptr, found))),
                               SizeofResource(nullptr, found));
    EXPECT_NE(manifest.find("level=\"requireAdministrator\""), std::string::npos);
    EXPECT_NE(manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""),
              std::string::npos);
    EXPECT_NE(manifest.find("<dpiAware"), std::string::npos);

    // The system's own parser accepts it.
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, sizeof path);
    ACTCTXA context = {};
    context.cbSize = sizeof context;
    context.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    context.lpSource = path;
    context.lpResourceName = MAKEINTRESOURCEA(1);
    HANDLE handle = CreateActCtxA(&context);
    EXPECT_NE(handle, INVALID_HANDLE_VALUE) << "error " << GetLastError();
    if (handle != INVALID_HANDLE_VALUE) ReleaseActCtx(handle);
}
