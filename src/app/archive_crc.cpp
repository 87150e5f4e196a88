#include "app/archive_crc.h"

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>

#include "app/config.h"
#include "package/crc32.h"
#include "ui/messages.h"
#include "app/state.h"
#include "paths/text.h"
#include "res/resource.h"
#include "ui/ui.h"

namespace {

constexpr size_t kReadSize = 65536;

// The bar moves and the dialog's messages are taken at most this often,
// not per read: under Wine each is a round trip to the server, and per
// 2 KiB read they cost far more than the CRC-32 itself.
constexpr DWORD kRedrawInterval = 50;  // ms

// The tables and the read buffer: 72 KiB on the heap for the one check.
struct CrcWork {
    Crc32Table table;
    uint8_t buffer[kReadSize];
};

}  // namespace

// Kept out of RunArchive: inlined there, the link-time optimiser gives the
// module 36 bytes more code.
__attribute__((noinline)) uint32_t CheckFileCrc(HWND owner, const wchar_t* path, uint32_t start, uint32_t end,
                                                uint32_t expected, DWORD dialogDelay) {
    CrcWork* work = static_cast<CrcWork*>(std::malloc(sizeof(CrcWork)));
    FILE* file = work != nullptr ? _wfopen(path, L"rb") : nullptr;
    if (file == nullptr) {
        std::free(work);
        return 0;
    }
    std::fseek(file, 0, SEEK_END);
    uint32_t length = static_cast<uint32_t>(std::ftell(file));
    if (end != 0 && end < length) length = end;
    std::fseek(file, static_cast<long>(start), SEEK_SET);

    MakeCrc32Table(work->table);
    uint32_t crc = kCrc32Start;
    uint32_t done = 0;
    HWND dialog = nullptr;
    bool opened = false;
    const DWORD begun = GetTickCount();
    DWORD shown = begun;
    size_t count;
    do {
        // At the end, past it (a start beyond the file) and at a read error
        // nothing is read: the bar takes its last position and the check ends.
        const uint32_t left = length - (start + done);
        count = std::fread(work->buffer, 1, left < kReadSize ? left : kReadSize, file);
        crc = UpdateCrc32(work->table, crc, work->buffer, count);
        done += count;
        const DWORD now = GetTickCount();
        if (count == 0 || now - shown >= kRedrawInterval) {
            shown = now;
            if (!opened && now - begun >= dialogDelay) {
                opened = true;
                // No procedure of its own: the dialog has no buttons to handle.
                dialog =
                    CreateDialogParamA(g_ui.resources, MAKEINTRESOURCEA(IDD_CRC_CHECK), nullptr, nullptr, 0);
                ShowWindow(dialog, SW_SHOW);
                UpdateWindow(dialog);
                SendDlgItemMessageA(dialog, IDC_PROGRESS_BAR, PBM_SETRANGE32, 0,
                                    (length - start) / kCrcProgressUnit);
            }
            if (dialog != nullptr) {
                SendDlgItemMessageA(dialog, IDC_PROGRESS_BAR, PBM_SETPOS, done / kCrcProgressUnit, 0);
                // The dialog stays painted without a message loop of its own.
                DispatchMessages(dialog);
            }
        }
    } while (count > 0);
    std::free(work);
    std::fclose(file);
    if (dialog != nullptr) DestroyWindow(dialog);

    crc = FinishCrc32(crc);
    if (expected == 0 || expected == crc) return crc;
    ShowStringMessageWith(owner, IDS_CRC32_ERROR, path, MB_ICONERROR, L"Warning");
    return 0;
}

uint32_t CheckArchiveCrc(HWND owner, HINSTANCE module, const wchar_t* path, uint32_t expected) {
    // A signed package's certificate table follows the archive: the value
    // covers the archive up to it, as mksfx computed it before signing.
    const uint32_t start = FindImageEnd(module) + sizeof(SfxConfig);
    const uint32_t table = FindCertificateTable(module);
    // A silent run checks without a window.
    return CheckFileCrc(owner, path, start, table >= start ? table : 0, expected,
                        g_ui.silent ? INFINITE : kCrcDialogDelay);
}
