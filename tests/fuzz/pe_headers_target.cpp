// Fuzz target: the PE headers of any file's first bytes, as the module
// reads them (FindImageEnd, FindCertificateTable) and as the host tools do
// (ReadImage), which must agree; then the checksum and the resources of an
// image that reads.
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/byte_order.h"
#include "fuzz_support.h"
#include "pe/checksum.h"
#include "pe/headers.h"
#include "pe/image.h"
#include "pe/image_end.h"
#include "pe/pe_format.h"
#include "pe/resource_editor.h"
#include "pe_fuzz_support.h"

namespace {

void CheckSpan(const pe::HeaderSpan& span, size_t size) {
    FUZZ_CHECK(span.sectionCount >= 1 && span.sectionCount <= pe::kMaxSections);
    FUZZ_CHECK(span.optionalHeader == span.ntHeaders + pe::kNtHeadersSize);
    FUZZ_CHECK(span.sectionTable == span.optionalHeader + span.optionalSize);
    FUZZ_CHECK(span.sectionTable + span.sectionCount * pe::kSectionHeaderSize <= size);
    if (span.directoryCount != 0)
        FUZZ_CHECK(span.directories + span.directoryCount * pe::kDirectoryEntrySize <= span.sectionTable);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const uint32_t end = FindImageEnd(data, size);
    const uint32_t table = FindCertificateTable(data, size);
    pe::HeaderSpan span;
    const pe::HeaderFault fault = pe::LocateHeaders(data, size, span);
    if (fault != pe::HeaderFault::kNone) {
        FUZZ_CHECK(end == 0 && table == 0);
        FUZZ_CHECK(*pe::HeaderFaultText(fault) != '\0');
        return 0;
    }
    CheckSpan(span, size);
    if (span.directoryCount > pe::kSecurityDirectory) {
        const uint8_t* security = data + span.directories + pe::kSecurityDirectory * pe::kDirectoryEntrySize;
        FUZZ_CHECK(table == (ReadLe32(security + 4) != 0 ? ReadLe32(security) : 0));
    } else {
        FUZZ_CHECK(table == 0);
    }

    pe::Image image;
    std::string error;
    if (!pe::ReadImage(data, size, image, error)) {
        FUZZ_CHECK(!error.empty());
        return 0;
    }
    // The module's end of the image is the tools' unless a section's end
    // lies beyond 32 bits, which the module takes for no image.
    bool beyond = false;
    for (const pe::Section& section : image.sections)
        beyond = beyond || (section.rawSize != 0 && section.RawEnd() > UINT32_MAX);
    FUZZ_CHECK(beyond ? end == 0 : end == image.RawEnd());
    FUZZ_CHECK(image.directories.size() == span.directoryCount);
    FUZZ_CHECK(image.ChecksumOffset() + 4 <= size);

    // The checksum in two pieces, the later one first, is the whole's.
    const uint32_t whole = pe::FileChecksum(data, size, image.ChecksumOffset());
    pe::Checksum split(image.ChecksumOffset());
    split.Add(data + size / 3, size - size / 3, size / 3);
    split.Add(data, size / 3, 0);
    FUZZ_CHECK(split.Finish(size) == whole);

    pe::ResourceTree tree;
    if (pe::ReadResources(data, size, image, tree, error)) {
        const pe::Directory resources = image.DirectoryAt(pe::kResourceDirectory);
        fuzz::CheckRebuilds(tree, resources.address);
        fuzz::CheckResourceContents(tree);
    }
    return 0;
}
