#include "app/archive_io.h"

#include <windows.h>

#include <cstdio>

#include "app/messages.h"
#include "app/state.h"

MessageBoxReporter g_reporter;
ProgressFileSink g_outputSink;

void MessageBoxReporter::Report(const char* text) {
    ShowMessageBox(ProgressOwner(), text, kCaption, MB_ICONERROR);
}

bool ProgressFileSink::Write(const uint8_t* bytes, size_t count) {
    FILE* output = g_state.output;
    return output != nullptr && std::fwrite(bytes, 1, count, output) == count;
}

void ProgressFileSink::Progress(uint32_t outputTotal) {
    const DWORD now = GetTickCount();
    if (now - lastProgress_ < kProgressInterval) return;
    lastProgress_ = now;
    SendMessageA(g_state.progressWindow, kProgressPos, 0, static_cast<LPARAM>(outputTotal / 1024));
}
