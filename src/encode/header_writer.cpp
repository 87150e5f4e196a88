#include "encode/header_writer.h"

#include <cstring>
#include <ctime>
#include <string>

#include "archive/crc16.h"

namespace lzh {
namespace {

// Operating-system id of levels 1 and 2: Win32.  Readers treat the names
// as case-sensitive (with 'M' for MS-DOS, some lower-case capital names).
constexpr uint8_t kOsId = 'w';
// Readers reject level-1/2 headers with anything else in byte 19; the
// attributes go into an extended header.
constexpr uint8_t kLevel12AttributeByte = kAttributeArchive;

// Appends extended headers, each followed by the size of the next one; the
// caller has written the size of the first before them.
class ExtendedHeaders {
public:
    ExtendedHeaders(uint8_t* out, size_t at) : out_(out), at_(at), sizeAt_(at - 2) {}

    // Returns the offset of the data.
    size_t Add(uint8_t type, const uint8_t* data, size_t size) {
        WriteLe16(out_ + sizeAt_, static_cast<unsigned>(size + 3));
        out_[at_] = type;
        if (data != nullptr) std::memcpy(out_ + at_ + 1, data, size);
        sizeAt_ = at_ + 1 + size;
        at_ = sizeAt_ + 2;
        WriteLe16(out_ + sizeAt_, 0);
        return sizeAt_ - size;
    }
    size_t end() const { return at_; }

private:
    uint8_t* out_;
    size_t at_;
    size_t sizeAt_;
};

// Splits the stored path at its last '/'.
struct SplitName {
    const char* folder;  // components before the file name
    size_t folderLength;
    const char* file;
    size_t fileLength;
};

bool Split(const HeaderFields& f, SplitName& s) {
    const size_t length = std::strlen(f.name);
    // 0xFF separates folders in extended headers, and readers take it for
    // a separator in any name.
    if (length == 0 || f.name[0] == '/' || f.name[length - 1] == '/' ||
        std::strstr(f.name, "//") != nullptr || std::strchr(f.name, '\xFF') != nullptr)
        return false;
    if (f.folder) {
        s = {f.name, length, f.name + length, 0};
        return true;
    }
    const char* slash = std::strrchr(f.name, '/');
    if (slash == nullptr) {
        s = {f.name, 0, f.name, length};
    } else {
        s = {f.name, static_cast<size_t>(slash - f.name), slash + 1,
             length - static_cast<size_t>(slash + 1 - f.name)};
    }
    return true;
}

// The same for the wide name.
struct SplitWideName {
    const char16_t* folder;
    size_t folderLength;
    const char16_t* file;
    size_t fileLength;
};

bool SplitWide(const HeaderFields& f, SplitWideName& s) {
    const char16_t* name = f.wideName;
    const size_t length = std::char_traits<char16_t>::length(name);
    size_t lastSlash = length;
    for (size_t i = 0; i < length; i++) {
        if (name[i] == kWideFolderSeparator) return false;
        if (name[i] != u'/') continue;
        if (i == 0 || i + 1 == length || name[i - 1] == u'/') return false;
        lastSlash = i;
    }
    if (length == 0) return false;
    if (f.folder)
        s = {name, length, name + length, 0};
    else if (lastSlash == length)
        s = {name, 0, name, length};
    else
        s = {name, lastSlash, name + lastSlash + 1, length - lastSlash - 1};
    return s.folderLength + 1 <= kMaxExtendedWideName && s.fileLength <= kMaxExtendedWideName;
}

// UTF-16LE bytes of the text; in a folder path every '/' becomes the
// separator of 0x45, and one ends it, as in 0x02 (readers refuse a 0x45
// without it).
size_t WideBytes(const char16_t* text, size_t length, bool folder, uint8_t* out) {
    size_t n = 0;
    for (size_t i = 0; i < length; i++, n += 2)
        WriteLe16(out + n, folder && text[i] == u'/' ? kWideFolderSeparator : text[i]);
    if (folder && length != 0) {
        WriteLe16(out + n, kWideFolderSeparator);
        n += 2;
    }
    return n;
}

// The folder components with a separator byte after each: "a/b" -> "a", sep, "b", sep.
size_t FolderBytes(const SplitName& s, uint8_t separator, uint8_t* out) {
    if (s.folderLength == 0) return 0;
    for (size_t i = 0; i < s.folderLength; i++)
        out[i] = s.folder[i] == '/' ? separator : static_cast<uint8_t>(s.folder[i]);
    out[s.folderLength] = separator;
    return s.folderLength + 1;
}

// What levels 1 and 2 put behind the code-page names: the exact names with
// their code page (0x46 first: a reader that meets it after 0x44 takes the
// UTF-16 bytes for code-page text), then the attributes.
void AddExactNamesAndAttributes(const HeaderFields& f, ExtendedHeaders& ext) {
    SplitWideName w;
    if (f.wideName != nullptr && SplitWide(f, w)) {
        uint8_t codePage[4];
        WriteLe32(codePage, f.codePage);
        ext.Add(kExtCodePage, codePage, 4);
        uint8_t bytes[2 * kMaxExtendedWideName + 2];
        if (w.fileLength != 0) ext.Add(kExtWideFileName, bytes, WideBytes(w.file, w.fileLength, false, bytes));
        if (w.folderLength != 0)
            ext.Add(kExtWideDirectory, bytes, WideBytes(w.folder, w.folderLength, true, bytes));
    }
    if (f.attributes != kLevel12AttributeByte) {
        const uint8_t attributes[2] = {f.attributes, 0};
        ext.Add(kExtAttribute, attributes, 2);
    }
}

void PutCommon(const HeaderFields& f, uint8_t* out, uint32_t packedSize, uint32_t time,
               uint8_t attributeByte) {
    std::memcpy(out + 2, f.method, 5);
    WriteLe32(out + kPackedSizeAt, packedSize);
    WriteLe32(out + kUnpackedSizeAt, f.unpackedSize);
    WriteLe32(out + kTimeStampAt, time);
    out[kAttributeAt] = attributeByte;
    out[kLevelAt] = static_cast<uint8_t>(f.level);
}

size_t BuildLevel0(const HeaderFields& f, const SplitName& s, uint8_t* out) {
    // The whole path, with a backslash after every folder component.
    uint8_t name[kMaxLevel0Name + 1];
    if ((s.folderLength != 0 ? s.folderLength + 1 : 0) + s.fileLength > kMaxLevel0Name) return 0;
    size_t n = FolderBytes(s, '\\', name);
    std::memcpy(name + n, s.file, s.fileLength);
    n += s.fileLength;
    PutCommon(f, out, f.packedSize, DosTimeOf(f.modified), f.attributes);
    out[21] = static_cast<uint8_t>(n);
    std::memcpy(out + 22, name, n);
    WriteLe16(out + 22 + n, f.crc16);
    const size_t size = 24 + n;
    out[0] = static_cast<uint8_t>(size - 2);
    uint8_t sum = 0;
    for (size_t i = 2; i < size; i++) sum = static_cast<uint8_t>(sum + out[i]);
    out[1] = sum;
    return size;
}

size_t BuildLevel1(const HeaderFields& f, const SplitName& s, uint8_t* out) {
    uint8_t folder[kMaxExtendedName + 2];
    if (s.folderLength + 1 > kMaxExtendedName || s.fileLength > kMaxExtendedName) return 0;
    const size_t folderSize = FolderBytes(s, kFolderSeparator, folder);
    // A name too long for the base header goes into an extended header, and
    // so does one with the byte 0x5C (the second byte of some Shift-JIS
    // characters), which readers take for a separator in the base header.
    const bool baseName =
        s.fileLength <= kMaxLevel1BaseName && std::memchr(s.file, '\\', s.fileLength) == nullptr;
    const size_t n = baseName ? s.fileLength : 0;
    out[21] = static_cast<uint8_t>(n);
    std::memcpy(out + 22, s.file, n);
    WriteLe16(out + 22 + n, f.crc16);
    out[24 + n] = kOsId;
    const size_t baseSize = 27 + n;
    ExtendedHeaders ext(out, baseSize);
    WriteLe16(out + baseSize - 2, 0);
    if (!baseName) ext.Add(kExtFileName, reinterpret_cast<const uint8_t*>(s.file), s.fileLength);
    if (folderSize != 0) ext.Add(kExtDirectory, folder, folderSize);
    AddExactNamesAndAttributes(f, ext);
    // Level 1 counts the extended headers as packed data.
    const uint32_t extSize = static_cast<uint32_t>(ext.end() - baseSize);
    PutCommon(f, out, f.packedSize + extSize, DosTimeOf(f.modified), kLevel12AttributeByte);
    out[0] = static_cast<uint8_t>(baseSize - 2);
    uint8_t sum = 0;
    for (size_t i = 2; i < baseSize; i++) sum = static_cast<uint8_t>(sum + out[i]);
    out[1] = sum;
    return ext.end();
}

size_t BuildLevel2(const HeaderFields& f, const SplitName& s, uint8_t* out) {
    uint8_t folder[kMaxExtendedName + 2];
    if (s.folderLength + 1 > kMaxExtendedName || s.fileLength > kMaxExtendedName) return 0;
    const size_t folderSize = FolderBytes(s, kFolderSeparator, folder);
    int64_t time = f.modified;
    if (time < 0) time = 0;
    if (time > 0xFFFFFFFF) time = 0xFFFFFFFF;
    PutCommon(f, out, f.packedSize, static_cast<uint32_t>(time), kLevel12AttributeByte);
    WriteLe16(out + 21, f.crc16);
    out[23] = kOsId;
    ExtendedHeaders ext(out, 26);
    const uint8_t zeroCrc[2] = {0, 0};
    const size_t crcAt = ext.Add(kExtHeaderCrc, zeroCrc, 2);
    if (!f.folder) ext.Add(kExtFileName, reinterpret_cast<const uint8_t*>(s.file), s.fileLength);
    if (folderSize != 0) ext.Add(kExtDirectory, folder, folderSize);
    AddExactNamesAndAttributes(f, ext);
    size_t size = ext.end();
    // A total size whose low byte is 0 would read as the end mark to
    // readers that test only the first byte: pad one byte.
    if ((size & 0xFF) == 0) out[size++] = 0;
    WriteLe16(out, static_cast<unsigned>(size));
    WriteLe16(out + crcAt, UpdateCrc16(0, out, size));
    return size;
}

}  // namespace

uint32_t DosTimeOf(int64_t unixTime) {
    constexpr uint32_t kFirst = kFirstDosTime;
    constexpr uint32_t kLast = kLastDosTime;
    // Far outside the range the local time does not matter.
    if (unixTime < 315532800 - 86400) return kFirst;
    if (unixTime > 4354819199 + 86400) return kLast;
#ifdef _WIN32
    // 32-bit Windows builds have a 32-bit time_t.
    const __time64_t t = unixTime;
    const struct tm* local = _localtime64(&t);
#else
    const time_t t = static_cast<time_t>(unixTime);
    const struct tm* local = std::localtime(&t);
#endif
    if (local == nullptr) return kFirst;
    const int year = local->tm_year + 1900;
    if (year < 1980) return kFirst;
    if (year > 2107) return kLast;
    // A leap second (tm_sec 60) is held to 58.
    const unsigned second = local->tm_sec < 59 ? static_cast<unsigned>(local->tm_sec) : 58;
    return PackDosTime({static_cast<unsigned>(year), static_cast<unsigned>(local->tm_mon + 1),
                        static_cast<unsigned>(local->tm_mday), static_cast<unsigned>(local->tm_hour),
                        static_cast<unsigned>(local->tm_min), second});
}

size_t BuildEntryHeader(const HeaderFields& fields, uint8_t* out) {
    SplitName s;
    SplitWideName w;
    if (!Split(fields, s)) return 0;
    if (fields.wideName != nullptr && (fields.level == 0 || !SplitWide(fields, w))) return 0;
    std::memset(out, 0, kMaxEntryHeaderSize);
    switch (fields.level) {
    case 0: return BuildLevel0(fields, s, out);
    case 1: return BuildLevel1(fields, s, out);
    case 2: return BuildLevel2(fields, s, out);
    default: return 0;
    }
}

}  // namespace lzh
