// Field offsets and values of the PE image format, as the readers and the
// resource editor use them.  Offsets count from the start of the structure
// their group names.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pe {

// DOS header.
constexpr size_t kDosHeaderSize = 64;
constexpr size_t kNewHeaderField = 0x3C;  // e_lfanew: file offset of the PE signature

// PE signature ("PE\0\0") and IMAGE_FILE_HEADER, from the signature.
constexpr uint32_t kPeSignature = 0x00004550;
constexpr size_t kSectionCountField = 6;
constexpr size_t kOptionalSizeField = 20;
constexpr size_t kNtHeadersSize = 24;  // signature and file header: the optional header follows

// Optional header.
constexpr uint16_t kPe32Magic = 0x10B;
constexpr uint16_t kPe32PlusMagic = 0x20B;
constexpr size_t kInitializedDataField = 8;  // SizeOfInitializedData
constexpr size_t kSectionAlignmentField = 32;
constexpr size_t kFileAlignmentField = 36;
constexpr size_t kSizeOfImageField = 56;
constexpr size_t kChecksumField = 64;
constexpr size_t kPe32Directories = 96;  // each kind's first data directory; the count precedes it
constexpr size_t kPe32PlusDirectories = 112;

// Data directories: address and size.  The security directory's address
// is a file offset, not a relative virtual address.
constexpr size_t kDirectoryEntrySize = 8;
constexpr uint32_t kResourceDirectory = 2;
constexpr uint32_t kSecurityDirectory = 4;

// Section headers.
constexpr size_t kSectionHeaderSize = 40;
constexpr size_t kSectionNameSize = 8;
constexpr size_t kVirtualSizeField = 8;
constexpr size_t kVirtualAddressField = 12;
constexpr size_t kRawSizeField = 16;
constexpr size_t kRawOffsetField = 20;
constexpr size_t kCharacteristicsField = 36;
constexpr uint32_t kInitializedData = 0x00000040;  // IMAGE_SCN_CNT_INITIALIZED_DATA
constexpr uint32_t kMaxSections = 96;              // the loader's own limit

// Resource types.
constexpr uint16_t kIconType = 3;        // RT_ICON: one image
constexpr uint16_t kIconGroupType = 14;  // RT_GROUP_ICON: the images of one icon
constexpr uint16_t kVersionType = 16;    // RT_VERSION

}  // namespace pe
