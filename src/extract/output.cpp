#include "extract/output.h"

#include "ui/ui.h"

bool ProgressFileSink::Write(const uint8_t* bytes, size_t count) {
    if (file != nullptr && std::fwrite(bytes, 1, count, file) == count) return true;
    failed = true;
    return false;
}

void ProgressFileSink::Progress(uint32_t outputTotal) {
    const DWORD now = GetTickCount();
    if (now - lastProgress_ < kProgressInterval) return;
    lastProgress_ = now;
    SendMessageA(progressWindow, kProgressPos, 0, static_cast<LPARAM>(outputTotal / 1024));
}
