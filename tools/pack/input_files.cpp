#include "input_files.h"

#include <algorithm>
#include <chrono>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#endif

namespace pack {
namespace fs = std::filesystem;
namespace {

// The name an argument is stored under.  Given relatively, the argument
// itself: '/' separators, no "." or empty components ("" for a folder's
// contents).  Given with an absolute path or a ".." component, its last
// component alone (of the path it resolves to), so that nothing above the
// named file or folder becomes part of the names.  False for a root folder,
// which has no name.
bool StoredPrefix(const std::string& argument, const fs::path& source, std::string& prefix) {
    std::string text = argument;
#ifdef _WIN32
    std::replace(text.begin(), text.end(), '\\', '/');
#endif
    bool ownName = fs::path(std::u8string(text.begin(), text.end())).has_root_path();
    prefix.clear();
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('/', start);
        if (end == std::string::npos) end = text.size();
        const std::string part = text.substr(start, end - start);
        if (part == "..") ownName = true;
        if (!part.empty() && part != ".") {
            if (!prefix.empty()) prefix += '/';
            prefix += part;
        }
        start = end + 1;
    }
    if (!ownName) return true;
    fs::path resolved = source.lexically_normal();
    if (!resolved.has_filename()) resolved = resolved.parent_path();  // a trailing separator
    const std::u8string name = resolved.filename().u8string();
    prefix.assign(name.begin(), name.end());
    return !prefix.empty();
}

int64_t UnixTime(fs::file_time_type time) {
    const auto system = std::chrono::file_clock::to_sys(time);
    return std::chrono::duration_cast<std::chrono::seconds>(system.time_since_epoch()).count();
}

// Read-only from the owner's write permission; hidden from the file's
// attribute on Windows, and for a name starting with '.' elsewhere (as
// Wine shows such files).
uint8_t AttributesOf(const fs::path& path, const fs::file_status& status) {
    uint8_t attributes = 0;
    if ((status.permissions() & fs::perms::owner_write) == fs::perms::none) attributes |= 0x01;
#ifdef _WIN32
    const DWORD windows = GetFileAttributesW(path.c_str());
    if (windows != INVALID_FILE_ATTRIBUTES && (windows & FILE_ATTRIBUTE_HIDDEN)) attributes |= 0x02;
#else
    const std::string name = path.filename().string();
    if (name.size() > 1 && name[0] == '.' && name != "..") attributes |= 0x02;
#endif
    return attributes;
}

std::string Utf8(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

class Collector {
public:
    Collector(std::vector<InputFile>& out, std::string& error) : out_(out), error_(error) {}

    bool Add(const fs::path& source, const std::string& name, bool listFolderOnly);

private:
    bool AddFolderContents(const fs::path& source, const std::string& name);

    std::vector<InputFile>& out_;
    std::string& error_;
    std::vector<fs::path> openFolders_;  // the folders being walked, for loops
};

// listFolderOnly: the argument "."; its contents, not the folder itself.
bool Collector::Add(const fs::path& source, const std::string& name, bool listFolderOnly) {
    std::error_code ec;
    const fs::file_status status = fs::status(source, ec);  // follows links
    if (ec || !fs::exists(status)) {
        error_ = Utf8(source) + ": " + (ec ? ec.message() : "no such file or folder");
        return false;
    }
    InputFile entry;
    entry.source = source;
    entry.name = name;
    entry.attributes = AttributesOf(source, status);
    const fs::file_time_type time = fs::last_write_time(source, ec);
    entry.modified = ec ? 0 : UnixTime(time);
    if (fs::is_directory(status)) {
        entry.folder = true;
        if (!listFolderOnly) out_.push_back(entry);
        return AddFolderContents(source, name);
    }
    if (!fs::is_regular_file(status)) {
        error_ = Utf8(source) + ": not a regular file or folder";
        return false;
    }
    entry.size = fs::file_size(source, ec);
    if (ec) {
        error_ = Utf8(source) + ": " + ec.message();
        return false;
    }
    out_.push_back(entry);
    return true;
}

bool Collector::AddFolderContents(const fs::path& source, const std::string& name) {
    std::error_code ec;
    for (const fs::path& open : openFolders_) {
        if (fs::equivalent(open, source, ec)) {
            error_ = Utf8(source) + ": a link leads back into a folder being packed";
            return false;
        }
    }
    std::vector<std::pair<std::string, fs::path>> children;
    for (fs::directory_iterator it(source, ec), end; !ec && it != end; it.increment(ec))
        children.emplace_back(Utf8(it->path().filename()), it->path());
    if (ec) {
        error_ = Utf8(source) + ": " + ec.message();
        return false;
    }
    std::sort(children.begin(), children.end());
    openFolders_.push_back(source);
    for (const auto& [childName, childPath] : children)
        if (!Add(childPath, name.empty() ? childName : name + "/" + childName, false)) return false;
    openFolders_.pop_back();
    return true;
}

}  // namespace

bool CollectInputs(const std::string& argument, std::vector<InputFile>& out, std::string& error,
                   const fs::path& folder) {
    // Absolute, so that the files can be opened from any working folder.
    std::error_code ec;
    const fs::path source =
        fs::absolute(folder / fs::path(std::u8string(argument.begin(), argument.end())), ec);
    if (ec) {
        error = argument + ": " + ec.message();
        return false;
    }
    std::string prefix;
    if (!StoredPrefix(argument, source, prefix)) {
        error = argument + ": a root folder has no name to store it under (-C FOLDER . packs a folder's contents)";
        return false;
    }
    Collector collector(out, error);
    return collector.Add(source, prefix, prefix.empty());
}

FILE* OpenInput(const fs::path& source) {
#ifdef _WIN32
    return _wfopen(source.c_str(), L"rb");
#else
    return std::fopen(source.c_str(), "rb");
#endif
}

}  // namespace pack
