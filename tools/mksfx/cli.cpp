#include "cli.h"

#include <cinttypes>
#include <string>

#include "options.h"
#include "package.h"

namespace mksfx {

int RunMksfx(int argc, const char* const* argv, FILE* out, FILE* err) {
    PackageOptions options;
    std::string error;
    switch (ParseOptions(argc, argv, options, error)) {
    case ParseOutcome::kHelp:
        std::fputs(UsageText(), out);
        return 0;
    case ParseOutcome::kError:
        std::fprintf(err, "mksfx: %s\n", error.c_str());
        return 2;
    case ParseOutcome::kPackage:
        break;
    }

    PackageLayout layout;
    if (!WritePackage(options, layout, error)) {
        std::fprintf(err, "mksfx: %s\n", error.c_str());
        return 1;
    }
    for (const std::string& note : layout.notes) std::fprintf(err, "mksfx: note: %s\n", note.c_str());
    std::fprintf(out, "%s: module %" PRIu32 " bytes, archive %" PRIu64
                      " bytes, first header at %" PRIu64 ", CRC-32 %08" PRIX32 "\n",
                 options.output.c_str(), layout.imageEnd, layout.archiveSize, layout.firstHeader,
                 layout.expectedCrc);
    return 0;
}

}  // namespace mksfx
