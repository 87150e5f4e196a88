#include "app/archive_crc.h"

#include <commctrl.h>

#include <cstdio>

#include "app/config.h"
#include "package/crc32.h"
#include "ui/messages.h"
#include "app/state.h"
#include "paths/text.h"
#include "res/resource.h"
#include "ui/ui.h"

namespace {

constexpr size_t kReadSize = 2048;
constexpr int kWarningFormatSize = 256;  // entry 8 is long in Japanese

// Takes one waiting message, so that the dialog stays painted during a long
// check without a message loop of its own.
void DispatchOneMessage(HWND dialog) {
    MSG message;
    if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE) && !IsDialogMessageA(dialog, &message)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

}  // namespace

uint32_t CheckFileCrc(HWND owner, const char* path, uint32_t start, uint32_t end, uint32_t expected) {
    FILE* file = std::fopen(path, "rb");
    if (file == nullptr) return 0;
    std::fseek(file, 0, SEEK_END);
    uint32_t length = static_cast<uint32_t>(std::ftell(file));
    if (end != 0 && end < length) length = end;
    std::fseek(file, static_cast<long>(start), SEEK_SET);

    // No procedure of its own: the dialog has no buttons to handle.
    HWND dialog = CreateDialogParamA(g_ui.resources, MAKEINTRESOURCEA(IDD_CRC_CHECK), nullptr, nullptr, 0);
    ShowWindow(dialog, SW_SHOW);
    UpdateWindow(dialog);
    HWND bar = GetDlgItem(dialog, IDC_PROGRESS_BAR);
    SendMessageA(bar, PBM_SETRANGE32, 0, (length - start) / kCrcProgressUnit);

    Crc32Table table;
    MakeCrc32Table(table);
    uint8_t buffer[kReadSize];
    uint32_t crc = kCrc32Start;
    uint32_t done = 0;
    size_t count;
    // A read error ends the check like the end of the file.
    while (start + done < length &&
           (count = std::fread(buffer, 1, length - (start + done) < kReadSize ? length - (start + done) : kReadSize,
                               file)) > 0) {
        crc = UpdateCrc32(table, crc, buffer, count);
        done += count;
        Sleep(0);
        SendMessageA(bar, PBM_SETPOS, done / kCrcProgressUnit, 0);
        DispatchOneMessage(dialog);
    }
    std::fclose(file);
    if (dialog != nullptr) DestroyWindow(dialog);

    crc = FinishCrc32(crc);
    if (expected == 0 || expected == crc) return crc;
    char format[kWarningFormatSize];
    char text[kMessageSize];
    LoadText(IDS_CRC32_ERROR, format, sizeof format);
    FormatWithText(text, sizeof text, format, path);
    ShowMessageBox(owner, text, "Warning", MB_ICONERROR);
    return 0;
}

uint32_t CheckArchiveCrc(HWND owner, HINSTANCE module, uint32_t expected) {
    char path[MAX_PATH];
    if (!ModuleFilePath(module, path)) return 0;
    // A signed package's certificate table follows the archive: the value
    // covers the archive up to it, as mksfx computed it before signing.
    const uint32_t start = FindImageEnd(module) + sizeof(SfxConfig);
    const uint32_t table = FindCertificateTable(module);
    return CheckFileCrc(owner, path, start, table >= start ? table : 0, expected);
}
