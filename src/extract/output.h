// Where the decoder's bytes go in the module: the file being extracted, with
// the progress bar moved as they are written.
#pragma once

#include <windows.h>

#include <cstdio>

#include "decode/frame.h"

class ProgressFileSink final : public lzh::OutputSink {
public:
    bool Write(const uint8_t* bytes, size_t count) override;
    void Progress(uint32_t outputTotal) override;

    FILE* file = nullptr;           // the file being written; null between entries
    HWND progressWindow = nullptr;  // receives kProgressPos in KiB
    bool failed = false;            // a write failed (a full disk, a lost network)

private:
    // Each position is a message to another thread and a repaint; under
    // Wine one per written block made extraction five times slower.  The
    // bar moves at most this often.
    static constexpr DWORD kProgressInterval = 50;  // ms
    DWORD lastProgress_ = 0;
};
