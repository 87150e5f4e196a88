#include "extract/worker.h"

#include <cstring>

#include "archive/header.h"
#include "decode/frame.h"
#include "archive/lha_format.h"
#include "extract/extracted_files.h"
#include "extract/output.h"
#include "paths/file_times.h"
#include "paths/folders.h"
#include "paths/text.h"
#include "res/resource.h"
#include "ui/messages.h"
#include "ui/run_log.h"
#include "ui/ui.h"

namespace {

enum class Step { kNextEntry, kStop };
enum class Replace { kWrite, kKeep, kCancel };

// Causes of a skipped entry.  Each is shown once, when the extraction ends.
enum Fault { kFaultName, kFaultLongPath, kFaultCreate, kFaultWrite, kFaultDamaged, kFaultCount };

struct FaultTally {
    uint32_t count;
    wchar_t firstName[MAX_PATH];  // cut to fit
    lzh::DecodeOutcome outcome;  // kFaultDamaged: what the decoder found in the first
};

// What one thread's extraction works with.
struct Extraction {
    ExtractionJob& job;
    FaultTally faults[kFaultCount];
};

bool Aborted(const ExtractionJob& job) { return job.abortState->load() != lzh::kAbortNone; }

// Keeps the first failure of the run.
void Fail(ExtractionJob& job, DWORD code) {
    if (job.failure == 0) job.failure = code;
}

// The box text of a cause for one entry: the name and the cause.  Entries
// 6 and 14 put the name in their "%s"; the other causes follow the name.
void FormatFault(Fault fault, lzh::DecodeOutcome outcome, const wchar_t* name, wchar_t* message) {
    wchar_t format[kStringSize + 8] = L"%s\n\n";
    const bool named = fault == kFaultName || fault == kFaultLongPath;
    wchar_t* cause = named ? format : format + 4;
    if (fault == kFaultDamaged)
        CopyText(cause, kStringSize, ToWide(lzh::DecodeOutcomeText(outcome)));
    else
        LoadText(fault == kFaultName       ? IDS_INVALID_FILENAME
                 : fault == kFaultLongPath ? IDS_PATH_TOO_LONG
                 : fault == kFaultCreate   ? IDS_CANNOT_CREATE_FILE
                                           : IDS_CANNOT_WRITE_FILE,
                 cause, kStringSize);
    FormatWithText(message, kMessageSize, format, name);
}

void Tally(Extraction& run, Fault fault, const wchar_t* name,
           lzh::DecodeOutcome outcome = lzh::DecodeOutcome::kOk) {
    FaultTally& tally = run.faults[fault];
    if (tally.count++ == 0) {
        CopyText(tally.firstName, sizeof tally.firstName, name);
        tally.outcome = outcome;
    }
    Fail(run.job, fault == kFaultWrite || fault == kFaultCreate ? ERROR_WRITE_FAULT : ERROR_INVALID_DATA);
    wchar_t message[kMessageSize];
    FormatFault(fault, outcome, name, message);
    LogLine(kLogSkipped, message);
}

// One box per cause: the first entry's name, the cause, and how many more
// entries it cost.  Name warnings have no owner, as before; the others
// belong to the progress window.  A frame of its own, apart from the run's.
__attribute__((noinline)) void ShowFaults(const Extraction& run) {
    for (int fault = 0; fault < kFaultCount; fault++) {
        const FaultTally& tally = run.faults[fault];
        if (tally.count == 0) continue;
        wchar_t message[kMessageSize];
        FormatFault(static_cast<Fault>(fault), tally.outcome, tally.firstName, message);
        if (tally.count > 1) {
            wchar_t more[kStringSize];
            wchar_t line[kStringSize + 16];
            LoadText(IDS_MORE_SKIPPED, more, kStringSize);
            FormatText(line, more, tally.count - 1);
            const size_t length = std::wcslen(message);
            JoinText(message + length, kMessageSize - length, L"\n\n", line);
        }
        const bool named = fault == kFaultName || fault == kFaultLongPath;
        ShowMessageBox(named ? nullptr : ProgressOwner(), message, kCaption,
                       named ? MB_ICONWARNING : MB_ICONERROR);
    }
}

// "-lhd-" in any letter case.  Compared character by character so that the
// module's image holds no text the archive scanner could take for a method.
bool IsFolderMethod(const char* method) {
    return method[0] == '-' && (method[1] | 0x20) == 'l' && (method[2] | 0x20) == 'h' &&
           (method[3] | 0x20) == 'd' && method[4] == '-';
}

// Last-write time (MS-DOS, local) and size of an existing file; both stay 0
// when the file cannot be opened for reading.
void ReadExistingFile(const wchar_t* path, uint32_t* dosTime, uint32_t* size) {
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
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
Replace DecideReplace(ExtractionJob& job, const wchar_t* path, const lzh::EntryHeader& header) {
    if (job.replace != ReplacePolicy::kReplaceAll) {
        ReplaceInfo info = {path, 0, 0, 0, header.unpackedSize};
        ReadExistingFile(path, &info.existingTime, &info.existingSize);
        info.entryTime = EntryDosTime(header.level, header.timeStamp);
        if (job.replace == ReplacePolicy::kAsk) {
            switch (ConfirmReplace(&info)) {
            case IDYES: break;
            case IDNO: return Replace::kKeep;
            case kReplaceAll: job.replace = ReplacePolicy::kReplaceAll; break;
            case kReplaceNewer: job.replace = ReplacePolicy::kNewerOnly; break;
            default: return Replace::kCancel;
            }
        }
        if (job.replace == ReplacePolicy::kNewerOnly && !(info.existingTime < info.entryTime))
            return Replace::kKeep;
    }
    // A read-only file could not be opened for writing.
    SetFileAttributesW(path, FILE_ATTRIBUTE_NORMAL);
    return Replace::kWrite;
}

// The stored attributes, set last because they may make the file read-only.
// A new file is a plain one already: most entries need no call.
void ApplyAttributes(const wchar_t* path, const lzh::EntryHeader& header) {
    constexpr DWORD kPlain = FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NORMAL;
    if ((header.attribute & ~kPlain) != 0) SetFileAttributesW(path, header.attribute);
}

// Decodes the entry into path, asking first when a file is there already.
// A file that cannot be written ends the run; a damaged entry is skipped.  Returns
// kStop when the run ends (a complete file stays as written, a partial one
// is removed).
Step WriteEntry(Extraction& run, const wchar_t* path, const wchar_t* name, const lzh::EntryHeader& header) {
    ExtractionJob& job = run.job;
    // Creating only a new file spares a look-up per entry; an existing one
    // is replaced when the policy or the user says so.
    HANDLE file = CreateOutputFile(path, CREATE_NEW);
    if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_EXISTS) {
        switch (DecideReplace(job, path, header)) {
        case Replace::kWrite: file = CreateOutputFile(path, CREATE_ALWAYS); break;
        case Replace::kKeep: LogLine(kLogKept, path); return Step::kNextEntry;
        case Replace::kCancel: job.abortState->store(lzh::kAbortCancelled); return Step::kNextEntry;
        }
    }
    if (file == INVALID_HANDLE_VALUE) {
        Tally(run, kFaultCreate, name);
        return Step::kNextEntry;
    }
    ProgressFileSink& output = *job.output;
    output.file = file;
    output.entryName = name;
    const lzh::DecodeOutcome outcome = job.decoder->DecodeEntry(
        lzh::MethodCodeOf(header.method), header.packedSize, header.unpackedSize, header.crc16);
    const bool complete = outcome == lzh::DecodeOutcome::kOk;
    LogLine(kLogEntry, path, header.unpackedSize, lzh::DecodeOutcomeText(outcome));
    if (complete) SetEntryTime(file, header.level, header.timeStamp);
    const bool closed = CloseHandle(file) != FALSE;
    output.file = nullptr;
    if (outcome == lzh::DecodeOutcome::kWriteFailed || !closed) {
        job.abortState->store(lzh::kAbortFailed);
        Tally(run, kFaultWrite, name);
    } else if (!complete && outcome != lzh::DecodeOutcome::kCancelled) {
        if (outcome == lzh::DecodeOutcome::kNoMemory) Fail(job, ERROR_NOT_ENOUGH_MEMORY);
        Tally(run, kFaultDamaged, name, outcome);
    }
    if (!complete || !closed) {
        DeleteFileW(path);
        return Aborted(job) ? Step::kStop : Step::kNextEntry;
    }
    // A cancel keeps a file that was complete, as it was written.
    if (Aborted(job)) return Step::kStop;
    ApplyAttributes(path, header);
    if (job.recordFiles) AppendExtractedFile(path, std::wcschr(name, L'\\') != nullptr);
    return Step::kNextEntry;
}

// The name and the path get a frame of their own, apart from the tallies.
__attribute__((noinline)) Step ExtractEntry(Extraction& run, lzh::EntryHeader& header) {
    ExtractionJob& job = run.job;
    wchar_t nameBuffer[kEntryNameUnits];
    wchar_t* name = EntryNameOf(header, job.reader->wideNames, nameBuffer);
    wchar_t path[kPathUnits];
    switch (PrepareEntryPath(job.destination, name, path)) {
    case kEntryPathFailed:
        job.abortState->store(lzh::kAbortFailed);
        Fail(job, ERROR_CANNOT_MAKE);
        ShowStringMessage(nullptr, IDS_FOLDER_FORBIDDEN, MB_ICONERROR);
        return Step::kStop;
    case kEntryPathRejected: Tally(run, kFaultName, name); return Step::kNextEntry;
    case kEntryPathTooLong: Tally(run, kFaultLongPath, name); return Step::kNextEntry;
    case kEntryPathFolder:
        // A file entry named like a folder only gets its folders.
        if (IsFolderMethod(header.method)) {
            SetFileAttributesW(path, FILE_ATTRIBUTE_NORMAL);
            HANDLE folder = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS, nullptr);
            if (folder != INVALID_HANDLE_VALUE) {
                SetEntryTime(folder, header.level, header.timeStamp);
                CloseHandle(folder);
            }
            SetFileAttributesW(path, header.attribute);
        }
        return Step::kNextEntry;
    case kEntryPathFile: return WriteEntry(run, path, name, header);
    }
    return Step::kNextEntry;
}

// The box of an archive that lost entries, with the header reader's text.
// A frame of its own, apart from the run's tallies.
__attribute__((noinline)) void ShowArchiveDamaged(const char* headerFault) {
    wchar_t message[kMessageSize];
    LoadText(IDS_ARCHIVE_DAMAGED, message, kStringSize);
    if (headerFault != nullptr && JoinText(message, kMessageSize, message, L"\n\n"))
        JoinText(message, kMessageSize, message, ToWide(headerFault));
    ShowMessageBox(ProgressOwner(), message, kCaption, MB_ICONERROR);
}

}  // namespace

DWORD WINAPI ExtractionWorker(LPVOID parameter) {
    Extraction run{*static_cast<ExtractionJob*>(parameter), {}};
    ExtractionJob& job = run.job;
    lzh::HeaderReader& reader = *job.reader;
    // The archive ends with its end mark; a file that ends without one, or
    // inside a header, or a header that fails its checks, has lost entries.
    // The reader's and decoders' texts are held for the boxes that name
    // their entries.
    bool intact = false;
    g_reporter->holding = true;
    while (!Aborted(job)) {
        if (!reader.ReadEntryHeader(job.headerBuffer)) {
            intact = reader.end == lzh::ArchiveEnd::kEndMark;
            break;
        }
        if (ExtractEntry(run, reader.header) == Step::kStop || Aborted(job)) break;
        if (!reader.SeekNextHeader()) break;
    }
    g_reporter->holding = false;
    const char* headerFault = g_reporter->held;
    ShowFaults(run);
    if (!intact && !Aborted(job)) {
        Fail(job, ERROR_INVALID_DATA);
        ShowArchiveDamaged(headerFault);
    }
    return 0;
}
