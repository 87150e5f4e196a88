// Fuzz target: mksfx --info over any file.  A file that reads as a package
// is printed; its facts hold together, and its PE checksum is the whole
// file's.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "fuzz_support.h"
#include "package_info.h"
#include "pe/checksum.h"
#include "pe/image.h"
#include "pe_fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const fuzz::ScratchFile scratch(".exe");
    static FILE* const sink = std::fopen("/dev/null", "w");
    scratch.Write(data, size);
    const int codePage = size & 1 ? 1252 : 932;
    mksfx::PackageFacts facts;
    std::string error;
    if (!mksfx::ReadPackageFacts(scratch.path(), codePage, facts, error)) {
        FUZZ_CHECK(error.rfind(scratch.path() + ": ", 0) == 0);
        return 0;
    }
    FUZZ_CHECK(facts.fileSize == size);
    FUZZ_CHECK(facts.imageEnd != 0 && uint64_t{facts.imageEnd} + mksfx::kConfigBlockSize <= size);
    FUZZ_CHECK(facts.crcStart == facts.imageEnd + mksfx::kConfigBlockSize);
    FUZZ_CHECK(facts.crcStart <= facts.crcEnd && facts.crcEnd <= size);
    FUZZ_CHECK(facts.firstHeader < 0 || static_cast<uint64_t>(facts.firstHeader) < size);
    pe::Image image;
    FUZZ_CHECK(pe::ReadImage(data, size < 4096 ? size : 4096, image, error));
    FUZZ_CHECK(facts.fileChecksum == pe::FileChecksum(data, size, image.ChecksumOffset()));
    FUZZ_CHECK(facts.storedChecksum == image.checksum);
    mksfx::PrintPackageFacts(facts, scratch.path(), codePage, sink);
    return 0;
}
