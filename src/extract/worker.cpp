#include "extract/worker.h"

#include <cstdio>

#include "archive/header.h"
#include "decode/frame.h"
#include "decode/method.h"
#include "extract/extracted_files.h"
#include "extract/output.h"
#include "paths/file_times.h"
#include "paths/folders.h"
#include "res/resource.h"
#include "ui/messages.h"
#include "ui/ui.h"

namespace {

enum class Step { kNextEntry, kStop };
enum class Replace { kWrite, kKeep, kCancel };

bool Aborted(const ExtractionJob& job) { return job.abortState->load() != lzh::kAbortNone; }

// "-lhd-" in any letter case.  Compared character by character so that the
// module's image holds no text the archive scanner could take for a method.
bool IsFolderMethod(const char* method) {
    return method[0] == '-' && (method[1] | 0x20) == 'l' && (method[2] | 0x20) == 'h' &&
           (method[3] | 0x20) == 'd' && method[4] == '-';
}

// Last-write time (MS-DOS, local) and size of an existing file; both stay 0
// when the file cannot be opened for reading.
void ReadExistingFile(const char* path, uint32_t* dosTime, uint32_t* size) {
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    FILETIME lastWrite;
    const bool haveTime = GetFileTime(file, nullptr, nullptr, &lastWrite) != FALSE;
    *size = GetFileSize(file, nullptr);
    CloseHandle(file);
    if (haveTime) *dosTime = DosTimeOf(lastWrite);
}

// Decides whether an existing file is replaced, by the job's policy or by
// asking the user; "Replace all" and "Newer" change the policy for the
// rest of the run ("Newer" applies to this file as well).
Replace DecideReplace(ExtractionJob& job, const char* path, const lzh::EntryHeader& header) {
    if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) return Replace::kWrite;
    if (job.replace != ReplacePolicy::kReplaceAll) {
        ReplaceInfo info = {path, 0, 0, 0, header.unpackedSize};
        ReadExistingFile(path, &info.existingTime, &info.existingSize);
        info.entryTime = EntryDosTime(header.level, header.timeStamp);
        if (job.replace == ReplacePolicy::kAsk) {
            switch (ConfirmReplace(&info)) {
            case IDYES:
                break;
            case IDNO:
                return Replace::kKeep;
            case kReplaceAll:
                job.replace = ReplacePolicy::kReplaceAll;
                break;
            case kReplaceNewer:
                job.replace = ReplacePolicy::kNewerOnly;
                break;
            default:
                return Replace::kCancel;
            }
        }
        if (job.replace == ReplacePolicy::kNewerOnly && !(info.existingTime < info.entryTime))
            return Replace::kKeep;
    }
    // A read-only file could not be opened for writing.
    SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    return Replace::kWrite;
}

// Time stamps first, then the stored attributes (which may make the file
// read-only).
void ApplyTimesAndAttributes(const char* path, const lzh::EntryHeader& header, bool folder) {
    if (header.level == 2) {
        FILETIME time;
        if (UnixTimeToFileTime(header.timeStamp, &time)) SetFileTimes(path, time, folder);
    } else {
        SetFileTimesFromDos(path, static_cast<uint16_t>(header.timeStamp >> 16),
                            static_cast<uint16_t>(header.timeStamp & 0xFFFF), folder);
    }
    SetFileAttributesA(path, header.attribute);
}

// Decodes the entry into path.  Returns kStop when the run was aborted
// meanwhile (a complete file stays as written, a partial one is removed).
Step WriteEntry(ExtractionJob& job, const char* path, const lzh::EntryHeader& header) {
    FILE* file = std::fopen(path, "wb");
    if (file == nullptr) {
        ShowStringMessage(ProgressOwner(), IDS_CANNOT_CREATE_FILE, MB_ICONERROR);
        return Step::kNextEntry;
    }
    job.output->file = file;
    lzh::Decoder& decoder = *job.decoder;
    decoder.runningCrc16 = 0;
    decoder.DecodeEntry(lzh::MethodCodeOf(header.method), header.packedSize, header.unpackedSize);
    const long written = std::ftell(file);
    job.output->file = nullptr;
    // Buffered bytes that cannot be flushed are a failed write like any other.
    if (std::fclose(file) != 0) job.abortState->store(lzh::kAbortFailed);

    const bool crcMatches = decoder.runningCrc16 == header.crc16;
    if (Aborted(job)) {
        const bool complete = written >= 0 && static_cast<uint32_t>(written) == header.unpackedSize;
        if (!complete || !crcMatches) DeleteFileA(path);
        return Step::kStop;
    }
    if (!crcMatches) {
        g_reporter.Report("CRC Error!");
        DeleteFileA(path);
        return Step::kNextEntry;
    }
    ApplyTimesAndAttributes(path, header, false);
    if (job.recordFiles) AppendExtractedFile(path);
    return Step::kNextEntry;
}

Step ExtractEntry(ExtractionJob& job, lzh::EntryHeader& header) {
    char* name = CleanEntryName(header.name);
    char path[MAX_PATH];
    switch (PrepareEntryPath(job.destination, name, path)) {
    case kEntryPathFailed:
        job.abortState->store(lzh::kAbortFailed);
        ShowStringMessage(nullptr, IDS_FOLDER_FORBIDDEN, MB_ICONERROR);
        return Step::kStop;
    case kEntryPathRejected:
        ShowStringMessageWith(nullptr, IDS_INVALID_FILENAME, name, MB_ICONWARNING);
        return Step::kNextEntry;
    case kEntryPathFolder:
        // A file entry named like a folder only gets its folders.
        if (IsFolderMethod(header.method)) {
            SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
            ApplyTimesAndAttributes(path, header, true);
        }
        return Step::kNextEntry;
    case kEntryPathFile:
        break;
    }

    switch (DecideReplace(job, path, header)) {
    case Replace::kWrite:
        break;
    case Replace::kKeep:
        return Step::kNextEntry;
    case Replace::kCancel:
        job.abortState->store(lzh::kAbortCancelled);
        return Step::kNextEntry;
    }
    SetDlgItemTextA(job.progressWindow, IDC_ENTRY_NAME, header.name);
    return WriteEntry(job, path, header);
}

}  // namespace

DWORD WINAPI ExtractionWorker(LPVOID parameter) {
    ExtractionJob& job = *static_cast<ExtractionJob*>(parameter);
    lzh::HeaderReader& reader = *job.reader;
    while (!Aborted(job) && reader.ReadEntryHeader(job.headerBuffer)) {
        if (ExtractEntry(job, reader.header) == Step::kStop || Aborted(job)) break;
        if (!reader.SeekNextHeader()) break;
    }
    SendMessageA(job.progressWindow, WM_CLOSE, 0, 0);
    return 0;
}
