#include "archive_maker.h"

#include <random>

#include "file_io.h"

namespace mksfx {
namespace {

namespace fs = std::filesystem;

void Count(const pack::PlannedEntry& entry, const lzh::EncodedEntry& result, void* context) {
    ArchiveSummary& summary = *static_cast<ArchiveSummary*>(context);
    if (entry.file.folder) {
        summary.folders++;
    } else {
        summary.files++;
        summary.size += entry.file.size;
        summary.packed += result.packedSize;
    }
}

}  // namespace

TemporaryArchive::~TemporaryArchive() {
    if (path_.empty()) return;
    std::error_code ignored;
    fs::remove(PathFromUtf8(path_), ignored);
}

bool TemporaryArchive::Make(const PackageOptions& options, ArchiveSummary& summary, std::string& error,
                            FILE* progress) {
    pack::ArchivePlan plan;
    if (!pack::PlanArchive(options.inputs, options.pack, PathFromUtf8(options.output), plan, error,
                           PathFromUtf8(options.inputFolder)))
        return false;

    std::error_code ec;
    const fs::path folder = fs::temp_directory_path(ec);
    if (ec) {
        error = "no temporary folder for the archive: " + ec.message();
        return false;
    }
    std::random_device random;
    FILE* file = nullptr;
    for (int attempt = 0; attempt < 100 && file == nullptr; attempt++) {
        const std::string name = Utf8FromPath(folder / ("mksfx-" + std::to_string(random()) + ".lzh"));
        if (fs::exists(PathFromUtf8(name), ec)) continue;
        file = OpenFile(name, "wb");
        if (file != nullptr) path_ = name;
    }
    if (file == nullptr) {
        error = Utf8FromPath(folder) + ": cannot create a temporary archive";
        return false;
    }
    summary = ArchiveSummary{};
    summary.notes = plan.notes;
    pack::Progress line(progress, "mksfx: ");
    const bool written = pack::WriteArchive(file, plan, options.pack, error, Count, &summary,
                                            progress != nullptr ? &line : nullptr);
    if (std::fclose(file) != 0 && written) {
        error = path_ + ": write failed";
        return false;
    }
    return written;
}

}  // namespace mksfx
