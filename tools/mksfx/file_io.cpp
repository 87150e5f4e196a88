#include "file_io.h"

namespace mksfx {

std::filesystem::path PathFromUtf8(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string Utf8FromPath(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

FILE* OpenFile(const std::string& utf8, const char* mode) {
#ifdef _WIN32
    const std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
    return _wfopen(PathFromUtf8(utf8).c_str(), wideMode.c_str());
#else
    return std::fopen(utf8.c_str(), mode);
#endif
}

template <typename Buffer>
static bool ReadInto(const std::string& utf8, Buffer& bytes) {
    FILE* file = OpenFile(utf8, "rb");
    if (file == nullptr) return false;
    bytes.clear();
    char chunk[65536];
    size_t count;
    while ((count = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        bytes.insert(bytes.end(), chunk, chunk + count);
    const bool ok = !std::ferror(file);
    std::fclose(file);
    return ok;
}

bool ReadWholeFile(const std::string& utf8, std::string& bytes) { return ReadInto(utf8, bytes); }
bool ReadWholeFile(const std::string& utf8, std::vector<uint8_t>& bytes) { return ReadInto(utf8, bytes); }

}  // namespace mksfx
