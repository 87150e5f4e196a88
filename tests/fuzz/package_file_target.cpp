// Fuzz target: a package file (mksfx --config).  Its syntax is read from
// memory; then the same text as a file is read as options, as mksfx reads
// it before its command line.  Faults name the file and line.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "options.h"
#include "package_file.h"
#include "pe_fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const fuzz::ScratchFile scratch(".ini");
    const std::string text(reinterpret_cast<const char*>(data), size);
    mksfx::PackageFile file;
    std::string error;
    if (!mksfx::ParsePackageFile(text, "p.ini", file, error)) {
        FUZZ_CHECK(error.rfind("p.ini:", 0) == 0);
    } else {
        int last = 0;
        for (const mksfx::PackageFileLine& line : file.settings) {
            FUZZ_CHECK(line.section == "package" || line.section == "version");
            FUZZ_CHECK(line.line > last && !line.key.empty());
            last = line.line;
        }
        for (const mksfx::PackageFileLine& line : file.files)
            FUZZ_CHECK(line.section == "files" && !line.key.empty());
    }

    scratch.Write(data, size);
    const char* argv[] = {"mksfx", "--config", scratch.path().c_str(), "-o", "out.exe", "input.txt"};
    mksfx::PackageOptions options;
    error.clear();
    const mksfx::ParseOutcome outcome = mksfx::ParseOptions(6, argv, options, error);
    if (outcome == mksfx::ParseOutcome::kError) {
        FUZZ_CHECK(!error.empty());
    } else {
        // The command line's output and files win over the file's.
        FUZZ_CHECK(outcome == mksfx::ParseOutcome::kPackage);
        FUZZ_CHECK(options.output == "out.exe");
        FUZZ_CHECK(options.inputs.size() == 1 && options.inputs[0] == "input.txt");
    }
    return 0;
}
