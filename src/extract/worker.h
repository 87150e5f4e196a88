// The extraction thread: reads entry after entry from the archive stream
// and writes each below the destination folder.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <cstdio>

namespace lzh {
class Decoder;
class HeaderReader;
}  // namespace lzh
class ProgressFileSink;

// What happens to a file that exists already.  "Replace all" and "Newer"
// in the confirmation change it for the rest of the run.
enum class ReplacePolicy : int32_t {
    kAsk,         // show the confirmation for each
    kReplaceAll,  // replace without asking
    kNewerOnly,   // replace without asking when the entry is newer, else keep
};

// Everything one run's extraction uses; the run driver sets it up before
// the thread starts and reads it again only after the thread has ended.
struct ExtractionJob {
    FILE* archive;                     // at the first header
    uint8_t* headerBuffer;             // the header reader's work area
    lzh::HeaderReader* reader;         // reads from archive
    lzh::Decoder* decoder;             // reads from archive, writes to output
    ProgressFileSink* output;          // the decoder's sink
    const char* destination;           // absolute folder path with a trailing backslash
    ReplacePolicy replace;
    bool recordFiles;                  // add every written file to g_extractedFiles
    std::atomic<int32_t>* abortState;  // the run's outcome, polled and set
    HWND progressWindow;               // closed when the thread ends
};

// Thread procedure started by the run driver with an ExtractionJob.  The
// outcome of the run is in the job's abort state.
DWORD WINAPI ExtractionWorker(LPVOID job);
