// lzhtool a: packs files and folders into a new archive with the
// project's own encoder.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "lzhtool.h"
#include "pack.h"

namespace {

int AddUsage() {
    const pack::OptionGroup options[] = {{nullptr, pack::PackOptionSpecs()}};
    std::fprintf(stderr, "usage: lzhtool a [options] ARCHIVE FILES-OR-FOLDERS...\n%s",
                 pack::FormatOptionHelp(options, pack::kToolLzhtoolAdd).c_str());
    return 2;
}

// method, packed size, size, name (as lzhtool l lists them), with the
// progress line out of the way when both are on one terminal
void PrintEntry(const pack::PlannedEntry& entry, const lzh::EncodedEntry& result, void* context) {
    pack::Progress* progress = static_cast<pack::Progress*>(context);
    if (progress != nullptr) progress->Hide();
    if (entry.file.folder)
        std::printf("-lhd- %10u %10u %s/\n", 0u, 0u, entry.file.name.c_str());
    else
        std::printf("%s %10u %10u %s\n", lzh::MethodIdOf(result.method), result.packedSize,
                    static_cast<unsigned>(entry.file.size), entry.file.name.c_str());
    if (progress != nullptr) {
        std::fflush(stdout);
        progress->Show();
    }
}

}  // namespace

int AddMain(int argc, char** argv) {
    pack::PackOptions options;
    std::string error;
    if (!pack::ReadSourceDateEpoch(options, error)) {
        std::fprintf(stderr, "lzhtool: %s\n", error.c_str());
        return 2;
    }
    std::vector<std::string> operands;
    bool optionsEnded = false;
    for (int i = 2; i < argc; i++) {
        if (!optionsEnded && std::strcmp(argv[i], "--") == 0) {
            optionsEnded = true;
            continue;
        }
        const int taken = optionsEnded ? 0 : pack::ParsePackOption(argc, argv, i, options, error);
        if (taken < 0) {
            std::fprintf(stderr, "lzhtool: %s\n", error.c_str());
            return 2;
        }
        if (taken > 0) continue;
        if (!optionsEnded && argv[i][0] == '-' && argv[i][1] != '\0') {
            std::fprintf(stderr, "lzhtool: unknown option %s\n", argv[i]);
            return AddUsage();
        }
        operands.emplace_back(argv[i]);
    }
    if (operands.size() < 2) return AddUsage();

    const std::string archive = operands.front();
    operands.erase(operands.begin());
    pack::ArchivePlan plan;
    if (!pack::PlanArchive(operands, options, archive, plan, error)) {
        std::fprintf(stderr, "lzhtool: %s\n", error.c_str());
        return 1;
    }
    FILE* file = std::fopen(archive.c_str(), "wb");
    if (file == nullptr) {
        std::fprintf(stderr, "lzhtool: cannot create %s: %s\n", archive.c_str(), std::strerror(errno));
        return 1;
    }
    // The progress line goes to a terminal only, where it is redrawn in place.
    pack::Progress progress(stderr, "lzhtool: ");
    pack::Progress* shown = !options.quiet && pack::IsTerminal(stderr) ? &progress : nullptr;
    bool written = pack::WriteArchive(file, plan, options, error, PrintEntry,
                                      shown != nullptr && pack::IsTerminal(stdout) ? shown : nullptr, shown);
    if (std::fclose(file) != 0 && written) {
        written = false;
        error = "write error";
    }
    if (!written) {
        std::fprintf(stderr, "lzhtool: %s\n", error.c_str());
        std::remove(archive.c_str());
        return 1;
    }
    for (const std::string& note : plan.notes) std::fprintf(stderr, "lzhtool: note: %s\n", note.c_str());
    return 0;
}
