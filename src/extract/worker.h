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
    FILE* archive;              // at the first header
    uint8_t* headerBuffer;      // the header reader's work area
    lzh::HeaderReader* reader;  // reads from archive
    lzh::Decoder* decoder;      // reads from archive, writes to output
    ProgressFileSink* output;   // the decoder's sink
    const wchar_t* destination;  // absolute folder path with a trailing backslash
    ReplacePolicy replace;
    bool recordFiles;                  // add every written file to g_extractedFiles
    std::atomic<int32_t>* abortState;  // polled; set when the run must end
    DWORD failure;                     // the first failure's Win32 error code, 0 if none
};

// Thread procedure started by the run driver with an ExtractionJob.  Faults
// of single entries (a name refused, a file that cannot be created, a
// damaged entry) skip that entry; faults of one cause are shown once, when
// the extraction ends, naming the first entry and counting the others.  A
// write that fails, a folder that cannot be made or a cancel end the run.
// The job's failure says what went wrong (ERROR_INVALID_DATA,
// ERROR_WRITE_FAULT, ERROR_CANNOT_MAKE), its abort state whether the user
// cancelled.
DWORD WINAPI ExtractionWorker(LPVOID job);
