#include "app/run_archive.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "app/archive_crc.h"
#include "app/config.h"
#include "app/destination.h"
#include "app/state.h"
#include "archive/header.h"
#include "archive/scanner.h"
#include "decode/frame.h"
#include "extract/extracted_files.h"
#include "launch/launch.h"
#include "paths/folders.h"
#include "paths/text.h"
#include "res/resource.h"
#include "ui/messages.h"
#include "ui/ui.h"

namespace {

// The scan window, followed by the header reader's work area; the worker
// later reads its headers at the start of the same block.
constexpr size_t kHeaderBufferSize = lzh::kScanWindowSize + lzh::kHeaderWorkSize;

// Closes the archive and frees what the run allocated; safe to call at any
// point of a run, and more than once.
void ReleaseRun() {
    ExtractionJob& job = g_state.job;
    if (job.archive != nullptr) std::fclose(job.archive);
    job.archive = nullptr;
    std::free(job.headerBuffer);
    job.headerBuffer = nullptr;
    if (job.decoder != nullptr) {
        job.decoder->~Decoder();
        std::free(job.decoder);
        job.decoder = nullptr;
    }
    job.reader = nullptr;
}

// Opens the archive (the module's own file when archivePath is empty) and,
// in own-module mode, applies the configuration block.  Returns the file's
// size, or -1 when the run ends here.
long OpenArchive(char* archivePath) {
    const bool ownModule = archivePath[0] == '\0';
    if (ownModule) {
        // A name cut short at MAX_PATH names another file, or none: a module
        // in so deep a folder cannot open itself.
        const DWORD length = GetModuleFileNameA(g_state.module, archivePath, MAX_PATH);
        if (length == 0 || length >= MAX_PATH) archivePath[0] = '\0';
        archivePath[MAX_PATH - 1] = '\0';
    } else {
        // Relative destinations are resolved against the archive's folder,
        // which must therefore be absolute.
        char fullPath[MAX_PATH];
        const DWORD length = GetFullPathNameA(archivePath, MAX_PATH, fullPath, nullptr);
        if (length > 0 && length < MAX_PATH) CopyText(archivePath, MAX_PATH, fullPath);
    }
    FILE* archive = archivePath[0] != '\0' ? std::fopen(archivePath, "rb") : nullptr;
    g_state.job.archive = archive;
    if (archive == nullptr) {
        ShowStringMessage(nullptr, IDS_CANNOT_OPEN_ARCHIVE, MB_ICONERROR);
        return -1;
    }
    long fileSize = 0;
    if (ownModule) {
        const ConfigOutcome outcome = LoadSfxConfig(archive, archivePath, &fileSize);
        if (outcome == kConfigEndRun || outcome == kConfigRefused) {
            g_state.job.archive = nullptr;  // LoadSfxConfig has closed it
            return -1;
        }
    } else {
        std::fseek(archive, 0, SEEK_END);
        fileSize = std::ftell(archive);
        std::fseek(archive, 0, SEEK_SET);
        g_state.tempFolderMade = 0;
        if (fileSize < 0) ReleaseRun();  // 2 GiB or more: offsets are kept in 32 bits
    }
    return fileSize;
}

// Allocates the header buffer and the decoder and finds the first entry
// header; the stream is left there.  Returns its offset, or -1.
long FindArchiveStart(lzh::HeaderReader& reader) {
    ExtractionJob& job = g_state.job;
    job.headerBuffer = static_cast<uint8_t*>(std::calloc(kHeaderBufferSize, 1));
    void* decoderBlock = std::malloc(sizeof(lzh::Decoder));
    if (job.headerBuffer == nullptr || decoderBlock == nullptr) {
        std::free(decoderBlock);
        return -1;
    }
    job.decoder = new (decoderBlock) lzh::Decoder(job.archive, g_state.outputSink, g_reporter, g_state.abortState);
    job.reader = &reader;

    long start = -1;
    uint8_t* window = job.headerBuffer;
    uint8_t* scratch = job.headerBuffer + lzh::kScanWindowSize;
    if (!lzh::FindFirstHeader(reader, window, scratch, &start)) {
        ShowStringMessage(nullptr, IDS_NOT_SUPPORTED, MB_ICONERROR);
        return -1;
    }
    std::fseek(job.archive, start, SEEK_SET);
    return start;
}

// The destination loop: the dialog (unless suppressed), resolution against
// the archive's folder, and creation of a missing folder.  Returns false
// when the run ends.
bool SettleDestination(const char* archiveFolder, const char* archiveName) {
    RunSettings& settings = g_state.runSettings;
    if (settings.destination[0] == '\0') CopyText(settings.destination, MAX_PATH, archiveFolder);
    for (;;) {
        if (!settings.skipDestinationDialog && AskDestination(settings.destination, archiveName) != IDOK)
            return false;
        // A refused text has been replaced by the archive's folder: ask again.
        if (ResolveDestination(settings.destination, archiveFolder)) break;
    }
    if (GetFileAttributesA(settings.destination) != INVALID_FILE_ATTRIBUTES) return true;
    if (!settings.noConfirm &&
        ShowStringMessageWith(nullptr, IDS_CREATE_FOLDER_QUESTION, settings.destination,
                              MB_OKCANCEL | MB_ICONQUESTION) != IDOK)
        return false;
    if (!CreateFolderTree(settings.destination)) {
        ShowStringMessage(nullptr, IDS_FOLDER_FORBIDDEN, MB_ICONERROR);
        return false;
    }
    return true;
}

// Runs the worker thread while this thread pumps the progress window's
// messages, until the window is gone and the worker has ended.  Returns
// false when the extraction could not start.
bool Extract(long total) {
    const RunSettings& settings = g_state.runSettings;
    ExtractionJob& job = g_state.job;
    job.decoder->outputTotal = 0;
    OpenProgressWindow(static_cast<int32_t>(total), &g_state.abortState);
    HWND window = g_ui.progressWindow;
    if (window == nullptr) return false;
    job.destination = settings.destination;
    job.replace = settings.noConfirm ? ReplacePolicy::kReplaceAll : ReplacePolicy::kAsk;
    job.recordFiles = settings.removeAfterRun != 0;
    job.abortState = &g_state.abortState;
    job.progressWindow = window;
    job.output = &g_state.outputSink;
    g_state.outputSink.progressWindow = window;

    HANDLE worker = CreateThread(nullptr, 0, ExtractionWorker, &job, 0, nullptr);
    if (worker == nullptr) {
        // Nobody would close the window: close it here and take back the
        // quit message its closing posts.
        SendMessageA(window, WM_CLOSE, 0, 0);
        if (IsWindow(window)) DestroyWindow(window);
        MSG message;
        while (PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
        return false;
    }

    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageA(g_ui.progressWindow, &message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    WaitForSingleObject(worker, INFINITE);
    CloseHandle(worker);
    return true;
}

void AfterExtraction() {
    const RunSettings& settings = g_state.runSettings;
    if (g_state.abortState.load() != lzh::kAbortNone) return;
    if (settings.command[0] != '\0') {
        LaunchAndWait(settings.command, settings.destination, settings.removeAfterRun, settings.variant == '6');
        if (settings.removeAfterRun) RemoveExtractedFiles(settings.destination, g_state.tempFolderMade);
    } else if (settings.openFolder) {
        OpenFolder(settings.destination);
        MessageBeep(MB_ICONASTERISK);
    }
}

}  // namespace

void ArchiveNameOf(const char* fileName, char* archiveName) {
    CopyText(archiveName, MAX_PATH, fileName);
    if (char* dot = std::strrchr(archiveName, '.')) *dot = '\0';
    TrimTrailingSpaces(archiveName);
}

int RunArchive(char* archivePath) {
    const long fileSize = OpenArchive(archivePath);
    if (fileSize < 0) return 0;

    lzh::HeaderReader reader(g_state.job.archive, g_reporter, IsSystemLeadByte);
    const long start = FindArchiveStart(reader);
    if (start < 0) {
        ReleaseRun();
        return 0;
    }

    const RunSettings& settings = g_state.runSettings;
    if (settings.question[0] != '\0' &&
        ShowMessageBox(nullptr, settings.question, settings.title, MB_YESNO | MB_ICONQUESTION) != IDYES) {
        ReleaseRun();
        return 0;
    }
    // A mismatch has been reported; without a command the user still gets the files.
    if (settings.expectedCrc != 0 &&
        CheckArchiveCrc(nullptr, g_state.module, settings.expectedCrc) == 0 &&
        settings.command[0] != '\0') {
        ReleaseRun();
        return 0;
    }

    char archiveFolder[MAX_PATH];
    char fileName[MAX_PATH];
    char archiveName[MAX_PATH];
    SplitPath(archivePath, archiveFolder, fileName);
    ArchiveNameOf(fileName, archiveName);
    if (!SettleDestination(archiveFolder, archiveName)) {
        ReleaseRun();
        return 0;
    }

    const bool extracted = Extract(fileSize - start);
    ReleaseRun();
    if (extracted) AfterExtraction();
    ReleaseExtractedFileList();
    return extracted ? 1 : 0;
}
