#include "extract/output.h"

#include "ui/ui.h"

HANDLE CreateOutputFile(const wchar_t* path, DWORD disposition) {
    return CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

bool ProgressFileSink::Write(const uint8_t* bytes, size_t count) {
    DWORD put = 0;
    return WriteFile(file, bytes, static_cast<DWORD>(count), &put, nullptr) && put == count;
}

void ProgressFileSink::Progress(uint32_t outputTotal) {
    const DWORD now = GetTickCount();
    if (now - lastProgress_ < kProgressInterval) return;
    HWND window = g_ui.progressWindow.load();
    if (window == nullptr) return;
    lastProgress_ = now;
    SendMessageA(window, kProgressPos, reinterpret_cast<WPARAM>(entryName),
                 static_cast<LPARAM>(outputTotal / 1024));
    entryName = nullptr;
}
