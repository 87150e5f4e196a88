#include "ui/extraction_worker.h"

#include <cstdio>

#include "app/archive_io.h"
#include "app/extracted_files.h"
#include "app/messages.h"
#include "app/state.h"
#include "archive/header.h"
#include "decode/frame.h"
#include "decode/method.h"
#include "paths/folders.h"
#include "paths/text.h"
#include "res/resource.h"
#include "ui/ui.h"

namespace {

// FILETIME of 1970-01-01 00:00 UTC, and FILETIME units per second.
constexpr uint64_t kUnixEpochAsFileTime = 116444736000000000ULL;
constexpr uint64_t kFileTimeUnitsPerSecond = 10000000ULL;

enum class Step { kNextEntry, kStop };
enum class Replace { kWrite, kKeep, kCancel };

bool Aborted() { return g_state.abortState.load() != kAbortNone; }

// "-lhd-" in any letter case.  Compared character by character so that the
// module's image holds no text the archive scanner could take for a method.
bool IsFolderMethod(const char* method) {
    return method[0] == '-' && (method[1] | 0x20) == 'l' && (method[2] | 0x20) == 'h' &&
           (method[3] | 0x20) == 'd' && method[4] == '-';
}

uint32_t DosTimeOf(const FILETIME& utc) {
    FILETIME local;
    WORD date = 0;
    WORD time = 0;
    if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToDosDateTime(&local, &date, &time)) return 0;
    return static_cast<uint32_t>(date) << 16 | time;
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

// Decides whether an existing file is replaced: quietly with noConfirm, by
// the "newer only" rule once chosen, otherwise by asking the user.
Replace DecideReplace(const char* path, const lzh::EntryHeader& header) {
    RunSettings& settings = g_state.runSettings;
    if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) return Replace::kWrite;
    if (!settings.noConfirm) {
        ReplaceInfo info = {path, 0, 0, 0, header.unpackedSize};
        ReadExistingFile(path, &info.existingTime, &info.existingSize);
        info.entryTime = EntryDosTime(header.level, header.timeStamp);
        if (!g_state.newerOnly) {
            switch (ConfirmReplace(&info)) {
            case IDYES:
                break;  // "Newer" also answers yes, with newerOnly now set
            case IDNO:
                return Replace::kKeep;
            case kReplaceAll:
                settings.noConfirm = 1;
                break;
            default:
                return Replace::kCancel;
            }
        }
        if (g_state.newerOnly && !(info.existingTime < info.entryTime)) return Replace::kKeep;
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
Step WriteEntry(const char* path, const lzh::EntryHeader& header) {
    g_state.output = std::fopen(path, "wb");
    if (g_state.output == nullptr) {
        ShowStringMessage(ProgressOwner(), IDS_CANNOT_CREATE_FILE, MB_ICONERROR);
        return Step::kNextEntry;
    }
    lzh::Decoder& decoder = *g_state.decoder;
    decoder.runningCrc16 = 0;
    decoder.DecodeEntry(lzh::MethodCodeOf(header.method), header.packedSize, header.unpackedSize);
    const long written = std::ftell(g_state.output);
    // Buffered bytes that cannot be flushed are a failed write like any other.
    if (std::fclose(g_state.output) != 0) g_state.abortState.store(kAbortFailed);
    g_state.output = nullptr;

    const bool crcMatches = decoder.runningCrc16 == header.crc16;
    if (Aborted()) {
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
    if (g_state.runSettings.removeAfterRun) AppendExtractedFile(path);
    return Step::kNextEntry;
}

Step ExtractEntry(lzh::EntryHeader& header, DWORD* result) {
    // A leading backslash is dropped; slashes separate folders as well, so
    // that a parent reference written with them is stripped too.
    char* name = header.name;
    if (name[0] == '\\' && !IsSystemLeadByte('\\')) name++;
    SlashesToBackslashes(name);
    StripParentRefs(name);

    char path[MAX_PATH];
    switch (PrepareEntryPath(g_state.runSettings.destination, name, path)) {
    case kEntryPathFailed:
        *result = static_cast<DWORD>(-1);
        return Step::kStop;
    case kEntryPathRejected:
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

    switch (DecideReplace(path, header)) {
    case Replace::kWrite:
        break;
    case Replace::kKeep:
        return Step::kNextEntry;
    case Replace::kCancel:
        *result = static_cast<DWORD>(-1);
        g_state.abortState.store(kAbortCancelled);
        return Step::kNextEntry;
    }
    SetDlgItemTextA(g_state.progressWindow, IDC_ENTRY_NAME, header.name);
    return WriteEntry(path, header);
}

}  // namespace

int StripParentRefs(char* text) {
    // Removing shortens the text, so it is done in place; passes repeat until
    // one removes nothing.
    bool removed = true;
    while (removed) {
        removed = false;
        char* out = text;
        for (const char* in = text; *in != '\0';) {
            if (in[0] == '.' && in[1] == '.' && in[2] == '\\') {
                in += 3;
                removed = true;
            } else {
                *out++ = *in++;
            }
        }
        *out = '\0';
    }
    return 1;
}

void SetFileTimes(const char* path, const FILETIME& time, bool folder) {
    HANDLE file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              folder ? FILE_FLAG_BACKUP_SEMANTICS : FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    SetFileTime(file, &time, nullptr, &time);
    CloseHandle(file);
}

void SetFileTimesFromDos(const char* path, uint16_t date, uint16_t time, bool folder) {
    FILETIME local;
    FILETIME utc;
    if (DosDateTimeToFileTime(date, time, &local) && LocalFileTimeToFileTime(&local, &utc))
        SetFileTimes(path, utc, folder);
}

bool UnixTimeToFileTime(uint32_t unixTime, FILETIME* fileTime) {
    if (static_cast<int32_t>(unixTime) < 0) return false;
    const uint64_t value = kUnixEpochAsFileTime + unixTime * kFileTimeUnitsPerSecond;
    fileTime->dwLowDateTime = static_cast<DWORD>(value);
    fileTime->dwHighDateTime = static_cast<DWORD>(value >> 32);
    return true;
}

uint32_t EntryDosTime(uint8_t level, uint32_t timeStamp) {
    if (level != 2) return timeStamp;
    FILETIME utc;
    if (!UnixTimeToFileTime(timeStamp, &utc)) return timeStamp;
    return DosTimeOf(utc);
}

DWORD WINAPI ExtractionWorker(LPVOID) {
    lzh::HeaderReader& reader = *g_state.reader;
    DWORD result = 0;
    if (reader.ReadEntryHeader(g_state.headerBuffer)) {
        do {
            if (Aborted()) break;
            lzh::EntryHeader& header = reader.header;
            const long dataStart = std::ftell(g_state.archive);
            if (ExtractEntry(header, &result) == Step::kStop || Aborted()) break;
            // The next header follows the packed data; a stream position
            // beyond 2 GiB cannot be reached with fseek.
            const uint32_t next = static_cast<uint32_t>(dataStart) + header.packedSize;
            if (dataStart < 0 || next < header.packedSize || next > 0x7FFFFFFFu) break;
            if (std::fseek(g_state.archive, static_cast<long>(next), SEEK_SET) != 0) break;
        } while (reader.ReadEntryHeader(g_state.headerBuffer));
    }
    if (g_state.output != nullptr) {
        std::fclose(g_state.output);
        g_state.output = nullptr;
    }
    SendMessageA(g_state.progressWindow, WM_CLOSE, 0, 0);
    return result;
}
