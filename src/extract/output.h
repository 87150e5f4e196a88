// Where the decoder's bytes go in the module: the file being extracted, with
// the progress window's bar and entry name updated (once it exists) as they
// are written.
#pragma once

#include <windows.h>

#include "decode/frame.h"

// Opens an extracted file for writing while others may only read it: two
// writers would mix their bytes.  disposition: CREATE_NEW or CREATE_ALWAYS.
HANDLE CreateOutputFile(const wchar_t* path, DWORD disposition);

class ProgressFileSink final : public lzh::OutputSink {
public:
    bool Write(const uint8_t* bytes, size_t count) override;
    void Progress(uint32_t outputTotal) override;

    HANDLE file = nullptr;            // the file being written
    const wchar_t* entryName = nullptr;  // shown with the next position, then null

private:
    // Each update is a message to another thread and a repaint; under Wine
    // one per written block made extraction five times slower, and one name
    // per entry a third slower with many small files.  The window changes at
    // most this often.
    static constexpr DWORD kProgressInterval = 50;  // ms
    DWORD lastProgress_ = 0;
};
