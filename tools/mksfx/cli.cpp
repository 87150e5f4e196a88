#include "cli.h"

#include <cinttypes>
#include <string>

#include "archive_maker.h"
#include "module_path.h"
#include "option_table.h"
#include "options.h"
#include "package.h"
#include "package_info.h"

namespace mksfx {

int RunMksfx(int argc, const char* const* argv, FILE* out, FILE* err) {
    PackageOptions options;
    std::string error;
    switch (ParseOptions(argc, argv, options, error)) {
    case ParseOutcome::kHelp: std::fputs(UsageText().c_str(), out); return 0;
    case ParseOutcome::kError: std::fprintf(err, "mksfx: %s\n", error.c_str()); return 2;
    case ParseOutcome::kInfo: return ShowPackageInfo(options.info, options.pack.codePage, out, err);
    case ParseOutcome::kPackage: break;
    }
    if (options.module.empty() && (options.module = FindDefaultModule()).empty()) {
        std::fprintf(err, "mksfx: no sfx.exe beside mksfx; give the module with --module SFX.exe\n");
        return 2;
    }

    // Files and folders become an archive first, which is then packaged
    // like one the packager made; a module that would be refused is
    // refused before the packing.
    TemporaryArchive made;
    ArchiveSummary summary;
    if (!options.inputs.empty()) {
        // A progress line only where it is redrawn in place: a terminal.
        FILE* progress = !options.pack.quiet && pack::IsTerminal(err) ? err : nullptr;
        if (!CheckModule(options.module, error) || !made.Make(options, summary, error, progress)) {
            std::fprintf(err, "mksfx: %s\n", error.c_str());
            return 1;
        }
        options.archive = made.path();
    }

    PackageLayout layout;
    if (!WritePackage(options, layout, error)) {
        std::fprintf(err, "mksfx: %s\n", error.c_str());
        return 1;
    }
    for (const std::string& note : options.notes) std::fprintf(err, "mksfx: note: %s\n", note.c_str());
    for (const std::string& note : layout.notes) std::fprintf(err, "mksfx: note: %s\n", note.c_str());
    for (const std::string& note : summary.notes) std::fprintf(err, "mksfx: note: %s\n", note.c_str());
    if (!options.inputs.empty())
        std::fprintf(out,
                     "packed %" PRIu32 " file%s and %" PRIu32 " folder%s: %" PRIu64 " bytes into %" PRIu64
                     " (names in code page %d)\n",
                     summary.files, summary.files == 1 ? "" : "s", summary.folders,
                     summary.folders == 1 ? "" : "s", summary.size, summary.packed, options.pack.codePage);
    std::fprintf(out,
                 "%s: module %" PRIu32 " bytes%s, archive %" PRIu64 " bytes, first header at %" PRIu64
                 ", CRC-32 %08" PRIX32 "\n",
                 options.output.c_str(), layout.imageEnd, options.Branded() ? " (branded)" : "",
                 layout.archiveSize, layout.firstHeader, layout.expectedCrc);
    return 0;
}

}  // namespace mksfx
