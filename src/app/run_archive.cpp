#include "app/run_archive.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <new>

#include "app/archive_crc.h"
#include "app/config.h"
#include "app/command_line.h"
#include "app/destination.h"
#include "app/state.h"
#include "archive/header.h"
#include "archive/scanner.h"
#include "decode/frame.h"
#include "extract/extracted_files.h"
#include "launch/launch.h"
#include "package/archive_start.h"
#include "paths/folders.h"
#include "paths/text.h"
#include "res/resource.h"
#include "ui/messages.h"
#include "ui/run_log.h"
#include "ui/ui.h"

namespace {

// The scan window, followed by the header reader's work area; the worker
// later reads its headers at the start of the same block.
constexpr size_t kHeaderBufferSize = lzh::kScanWindowSize + lzh::kHeaderWorkSize;

// Keeps the first failure of the run as its exit code.
void Fail(DWORD code) {
    if (g_state.exitCode == 0) g_state.exitCode = code;
}

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
long OpenArchive(wchar_t* archivePath) {
    const bool ownModule = archivePath[0] == L'\0';
    if (ownModule) {
        // A name that would be cut short names another file, or none.
        ModuleFilePath(g_state.module, archivePath);
    } else {
        // Relative destinations are resolved against the archive's folder,
        // which must therefore be absolute.
        wchar_t fullPath[MAX_PATH];
        const DWORD length = GetFullPathNameW(archivePath, MAX_PATH, fullPath, nullptr);
        if (length > 0 && length < MAX_PATH) CopyText(archivePath, MAX_PATH, fullPath);
    }
    FILE* archive = archivePath[0] != L'\0' ? _wfopen(archivePath, L"rb") : nullptr;
    g_state.job.archive = archive;
    if (archive == nullptr) {
        Fail(ERROR_FILE_NOT_FOUND);
        ShowStringMessage(nullptr, IDS_CANNOT_OPEN_ARCHIVE, MB_ICONERROR);
        return -1;
    }
    long fileSize = 0;
    if (ownModule) {
        const ConfigOutcome outcome = LoadSfxConfig(archive, archivePath, &fileSize);
        if (outcome == kConfigEndRun || outcome == kConfigRefused) {
            Fail(outcome == kConfigRefused ? ERROR_EXE_MACHINE_TYPE_MISMATCH : ERROR_INVALID_DATA);
            g_state.job.archive = nullptr;  // LoadSfxConfig has closed it
            return -1;
        }
    } else {
        std::fseek(archive, 0, SEEK_END);
        fileSize = std::ftell(archive);
        std::fseek(archive, 0, SEEK_SET);
        g_state.tempFolderMade = 0;
        if (fileSize < 0) {  // 2 GiB or more: offsets are kept in 32 bits
            Fail(ERROR_INVALID_DATA);
            ReleaseRun();
        }
    }
    return fileSize;
}

// The deployer's switches win over the block and the older switches: /C
// drops the command, /S answers every question with its default (/T: has
// been taken by the command line and the block).
void ApplyDeployerSwitches(const wchar_t* archivePath) {
    const DeployerSwitches& switches = *g_state.switches;
    RunSettings& settings = g_state.runSettings;
    if (switches.extractOnly) {
        settings.command[0] = '\0';
        settings.removeAfterRun = 0;
    }
    if (switches.silent) {
        settings.question[0] = '\0';  // answered yes
        settings.skipDestinationDialog = 1;
        settings.noConfirm = 1;  // the folder is made, files are replaced
    }
    if (switches.extractOnly | switches.silent) settings.openFolder = 0;
    LogLine(kLogPackage, archivePath);
    LogLine(kLogCommand, settings.command);
    LogLine(kLogSettings, g_state.destination, settings.removeAfterRun, settings.noConfirm, settings.expectedCrc);
}

// Allocates the header buffer and the decoder and finds the first entry
// header (in a package behind its block, whose texts could look like a
// header); the stream is left there.  Returns its offset, or -1.
long FindArchiveStart(lzh::HeaderReader& reader) {
    ExtractionJob& job = g_state.job;
    job.headerBuffer = static_cast<uint8_t*>(std::calloc(kHeaderBufferSize, 1));
    void* decoderBlock = std::malloc(sizeof(lzh::Decoder));
    if (job.headerBuffer == nullptr || decoderBlock == nullptr) {
        std::free(decoderBlock);
        Fail(ERROR_NOT_ENOUGH_MEMORY);
        return -1;
    }
    job.decoder =
        new (decoderBlock) lzh::Decoder(job.archive, g_outputSink.Make(), g_state.abortState);
    job.reader = &reader;

    long start = -1;
    uint8_t* window = job.headerBuffer;
    uint8_t* scratch = job.headerBuffer + lzh::kScanWindowSize;
    if (!FindArchive(reader, window, scratch, &start)) {
        Fail(ERROR_INVALID_DATA);
        ShowStringMessage(nullptr, IDS_NOT_SUPPORTED, MB_ICONERROR);
        return -1;
    }
    std::fseek(job.archive, start, SEEK_SET);
    return start;
}

// Makes the private folder under %temp% (folder ends with a backslash) this
// run's own: when its name is taken, by a folder an earlier run left or by
// another run of the same package, "-2", "-3", ... is added until a new
// folder can be made.  Removal later deletes only this one.
bool MakePrivateFolder(wchar_t* folder) {
    wchar_t base[MAX_PATH];
    CopyText(base, MAX_PATH, folder);
    RemoveBackslash(base);
    for (unsigned n = 2; n < 1000; n++) {
        if (CreateDirectoryW(folder, nullptr)) return true;
        if (GetLastError() != ERROR_ALREADY_EXISTS) return false;
        wchar_t suffix[16];
        FormatText(suffix, L"-%u\\", n);
        if (!JoinText(folder, MAX_PATH, base, suffix)) return false;
    }
    return false;
}

// The destination loop: the dialog (unless suppressed), resolution against
// the archive's folder, and creation of a missing folder.  Returns false
// when the run ends.  Its buffers get a frame of their own, so that no
// frame reaches a page (the module has no stack probes).
__attribute__((noinline)) bool SettleDestination(const wchar_t* archiveFolder, const wchar_t* archiveName) {
    ModuleState& state = State();
    wchar_t* destination = state.destination;
    if (destination[0] == L'\0') CopyText(destination, MAX_PATH, archiveFolder);
    wchar_t privateFolder[MAX_PATH];
    JoinText(privateFolder, MAX_PATH, destination, L"\\");
    for (;;) {
        if (!state.runSettings.skipDestinationDialog && AskDestination(destination, archiveName) != IDOK) {
            Fail(ERROR_CANCELLED);
            return false;
        }
        // A refused text has been replaced by the archive's folder: ask again.
        if (ResolveDestination(destination, archiveFolder)) break;
    }
    if (state.tempFolderMade) {
        // A folder the user chose instead is not this run's to remove.
        state.tempFolderMade = lstrcmpiW(privateFolder, destination) == 0;
        if (state.tempFolderMade) {
            if (MakePrivateFolder(destination)) return true;
            state.tempFolderMade = 0;
            Fail(ERROR_CANNOT_MAKE);
            ShowStringMessage(nullptr, IDS_FOLDER_FORBIDDEN, MB_ICONERROR);
            return false;
        }
    }
    if (GetFileAttributesW(destination) != INVALID_FILE_ATTRIBUTES) return true;
    if (!state.runSettings.noConfirm &&
        ShowStringMessageWith(nullptr, IDS_CREATE_FOLDER_QUESTION, destination, MB_OKCANCEL | MB_ICONQUESTION) !=
            IDOK) {
        Fail(ERROR_CANCELLED);
        return false;
    }
    if (!CreateFolderTree(destination)) {
        Fail(ERROR_CANNOT_MAKE);
        ShowStringMessage(nullptr, IDS_FOLDER_FORBIDDEN, MB_ICONERROR);
        return false;
    }
    return true;
}

// How long the extraction runs before the progress window appears: a small
// package is done sooner and opens no window at all.
constexpr DWORD kProgressWindowDelay = 250;  // ms

// Runs the worker thread and, once it has run for a moment, the progress
// window, whose messages this thread handles until the worker ends.
// Returns false when the extraction could not start.
bool Extract(long total) {
    const RunSettings& settings = g_state.runSettings;
    ExtractionJob& job = g_state.job;
    job.decoder->outputTotal = 0;
    job.destination = g_state.destination;
    job.replace = settings.noConfirm ? ReplacePolicy::kReplaceAll : ReplacePolicy::kAsk;
    job.recordFiles = settings.removeAfterRun != 0;
    job.abortState = &g_state.abortState;
    job.output = &*g_outputSink;

    HANDLE worker = CreateThread(nullptr, 0, ExtractionWorker, &job, 0, nullptr);
    if (worker == nullptr) {
        Fail(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    // A silent run waits without a window.
    if (WaitForSingleObject(worker, g_ui.silent ? INFINITE : kProgressWindowDelay) == WAIT_TIMEOUT) {
        // Without a window (none could be made) the extraction goes on unseen.
        OpenProgressWindow(static_cast<int32_t>(total), &g_state.abortState);
        while (MsgWaitForMultipleObjects(1, &worker, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0)
            DispatchMessages(g_ui.progressWindow);
        SendMessageA(g_ui.progressWindow, WM_CLOSE, 0, 0);
    }
    CloseHandle(worker);
    Fail(job.failure);
    if (g_state.abortState.load() == lzh::kAbortCancelled) Fail(ERROR_CANCELLED);
    return true;
}

// Its buffers, and the launch's, get a frame of their own (see
// SettleDestination).
__attribute__((noinline)) void AfterExtraction() {
    const RunSettings& settings = g_state.runSettings;
    const DeployerSwitches& switches = *g_state.switches;
    if (settings.command[0] != '\0') {
        // The deployer's arguments follow the command's own after a blank;
        // a command line that would not fit is refused, never cut.
        wchar_t command[kCommandLineCopySize];
        int fits = CopyText(command, kCommandLineCopySize, ToWide(settings.command));
        if (switches.arguments[0] != L'\0') {
            const size_t length = std::wcslen(command);  // below 128: the field's size
            command[length] = L' ';
            fits = CopyText(command + length + 1, kCommandLineCopySize - length - 1, switches.arguments);
        }
        const wchar_t* destination = g_state.destination;
        if (!fits || std::wcslen(destination) + std::wcslen(command) >= kLaunchCommandSize) {
            Fail(ERROR_FILENAME_EXCED_RANGE);
            ShowStringMessage(nullptr, IDS_COMMAND_LINE_TOO_LONG, MB_ICONERROR);
        }
        // An installer started with entries missing would install half of
        // itself: after any failure nothing is started, and a private
        // folder under %temp% is not left behind.
        if (g_state.exitCode != 0) {
            if (g_state.tempFolderMade) RemoveExtractedFiles(destination, 1);
            return;
        }
        LogLine(kLogLaunch, destination, command);
        DWORD exitCode = 0;
        // A silent run is waited for: the deployment tool gets the
        // installer's own exit code once the whole install has ended.
        if (!LaunchAndWait(command, destination, settings.removeAfterRun != 0 || switches.silent,
                           switches.silent != 0, settings.variant == '6', &exitCode))
            Fail(ERROR_PATH_NOT_FOUND);
        else
            LogLine(kLogCommandExit, exitCode);
        if (settings.removeAfterRun) RemoveExtractedFiles(destination, g_state.tempFolderMade);
        Fail(exitCode);
    } else if (settings.openFolder && g_state.abortState.load() == lzh::kAbortNone) {
        OpenFolder(g_state.destination);
        MessageBeep(MB_ICONASTERISK);
    }
}

}  // namespace

void ArchiveNameOf(const wchar_t* fileName, wchar_t* archiveName) {
    CopyText(archiveName, MAX_PATH, fileName);
    if (wchar_t* dot = std::wcsrchr(archiveName, L'.')) *dot = L'\0';
    TrimTrailingSpaces(archiveName);
}

DWORD RunArchive(wchar_t* archivePath) {
    const long fileSize = OpenArchive(archivePath);
    if (fileSize < 0) return g_state.exitCode;
    ApplyDeployerSwitches(archivePath);

    lzh::HeaderReader reader(g_state.job.archive, g_reporter.Make(), IsSystemLeadByte);
    reader.wideNames = &g_state.wideNames;
    const long start = FindArchiveStart(reader);
    if (start < 0) {
        ReleaseRun();
        return g_state.exitCode;
    }

    const RunSettings& settings = g_state.runSettings;
    wchar_t title[sizeof settings.title];
    CopyText(title, sizeof settings.title, ToWide(settings.title));
    if (settings.question[0] != '\0' &&
        ShowMessageBox(nullptr, ToWide(settings.question), title, MB_YESNO | MB_ICONQUESTION) != IDYES) {
        Fail(ERROR_CANCELLED);
        ReleaseRun();
        return g_state.exitCode;
    }
    // A mismatch has been reported; without a command the user still gets
    // the files, and the exit code says what happened.  A silent run has
    // nobody to judge them: it extracts nothing.
    if (settings.expectedCrc != 0 && CheckArchiveCrc(nullptr, g_state.module, archivePath, settings.expectedCrc) == 0) {
        Fail(ERROR_CRC);
        if (settings.command[0] != '\0' || g_ui.silent) {
            ReleaseRun();
            return g_state.exitCode;
        }
    }

    wchar_t archiveFolder[MAX_PATH];
    wchar_t fileName[MAX_PATH];
    wchar_t archiveName[MAX_PATH];
    SplitPath(archivePath, archiveFolder, fileName);
    ArchiveNameOf(fileName, archiveName);
    if (!SettleDestination(archiveFolder, archiveName)) {
        ReleaseRun();
        return g_state.exitCode;
    }

    const bool extracted = Extract(fileSize - start);
    ReleaseRun();
    if (extracted) AfterExtraction();
    ReleaseExtractedFileList();
    return g_state.exitCode;
}
