#include "app/config.h"

#include <cstdlib>
#include <cstring>

#include "pe/image_end.h"
#include "ui/messages.h"
#include "launch/wow64.h"
#include "paths/folders.h"
#include "paths/text.h"
#include "res/resource.h"

namespace {

// The loader maps at least the first page of the image, which holds every
// header of the module.
constexpr size_t kHeaderPage = 4096;

// Makes every text field of a block NUL-terminated within its width,
// cutting a text that fills its field.
void TerminateConfigTexts(SfxConfig& block) {
    block.destination[sizeof block.destination - 1] = '\0';
    block.command[sizeof block.command - 1] = '\0';
    block.title[sizeof block.title - 1] = '\0';
    block.question[sizeof block.question - 1] = '\0';
}

// Applies a block that passed the signature test.  Returns kConfigRefused
// for a 64-bit package outside WOW64 (nothing is shown), else
// kConfigApplied.
ConfigOutcome ApplySfxConfig(SfxConfig& block, const wchar_t* moduleFileName) {
    TerminateConfigTexts(block);
    // Without a command there is nothing to remove afterwards and nothing
    // that needs 64-bit Windows.
    if (block.command[0] == '\0') {
        block.removeAfterRun = 0;
        block.variant = '3';
    }
    if (block.variant == '6' && Wow64Redirection(kWow64Query) == 0) return kConfigRefused;
    // The deployer's /T: takes the block's place, tokens and all; either
    // replaces a destination given on the command line.
    const wchar_t* destination = g_state.switches->destination;
    if (destination[0] == L'\0') destination = ToWide(block.destination);
    g_state.tempFolderMade =
        ResolveFolderToken(g_state.destination, destination, block.removeAfterRun != 0, moduleFileName);
    // The block's settings replace the older switches' (its destination
    // field is not read again: g_state.destination is the destination).
    g_state.runSettings = block;
    return kConfigApplied;
}

}  // namespace

uint32_t FindImageEnd(HMODULE module) {
    return FindImageEnd(reinterpret_cast<const uint8_t*>(module), kHeaderPage);
}

uint32_t FindCertificateTable(HMODULE module) {
    return FindCertificateTable(reinterpret_cast<const uint8_t*>(module), kHeaderPage);
}

ConfigOutcome LoadSfxConfig(FILE* stream, const wchar_t* moduleFileName, long* fileSize) {
    std::fseek(stream, 0, SEEK_END);
    *fileSize = std::ftell(stream);
    const uint32_t imageEnd = FindImageEnd(g_state.module);
    if (*fileSize < 0 || static_cast<uint32_t>(*fileSize) <= imageEnd) {
        std::fclose(stream);
        return kConfigEndRun;
    }

    SfxConfig* block = static_cast<SfxConfig*>(std::malloc(sizeof(SfxConfig)));
    ConfigOutcome outcome = kConfigAbsent;
    if (block != nullptr && std::fseek(stream, static_cast<long>(imageEnd), SEEK_SET) == 0 &&
        std::fread(block, 1, sizeof(SfxConfig), stream) == sizeof(SfxConfig) &&
        std::memcmp(block->signature, kConfigSignature, sizeof kConfigSignature) == 0) {
        outcome = ApplySfxConfig(*block, moduleFileName);
    }
    std::free(block);
    if (outcome == kConfigRefused) {
        std::fclose(stream);
        ShowStringMessage(nullptr, IDS_NEEDS_WIN64, MB_ICONERROR);
        return outcome;
    }
    std::fseek(stream, 0, SEEK_SET);
    return outcome;
}
