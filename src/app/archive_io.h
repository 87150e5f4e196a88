// The module's side of the archive core's seams: fault texts go to message
// boxes, decoded bytes to the output file with progress to the window.
#pragma once

#include <windows.h>

#include "archive/reporter.h"
#include "decode/frame.h"

// Shows a fixed fault text ("invalid header.", "CRC Error!", ...) captioned
// "VID-IDA", owned by the progress window while it exists.
class MessageBoxReporter final : public lzh::Reporter {
public:
    void Report(const char* text) override;
};

// Writes to g_state.output and moves the progress bar (in KiB).
class ProgressFileSink final : public lzh::OutputSink {
public:
    bool Write(const uint8_t* bytes, size_t count) override;
    void Progress(uint32_t outputTotal) override;

private:
    // Each position is a message to another thread and a repaint; under
    // Wine one per written block made extraction five times slower.  The
    // bar moves at most this often.
    static constexpr DWORD kProgressInterval = 50;  // ms
    DWORD lastProgress_ = 0;
};

extern MessageBoxReporter g_reporter;
extern ProgressFileSink g_outputSink;
