#include "module_path.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include "file_io.h"

namespace mksfx {

namespace fs = std::filesystem;

std::vector<fs::path> DefaultModuleCandidates(const fs::path& program) {
    const fs::path folder = program.parent_path();
    std::vector<fs::path> candidates{folder / "sfx.exe"};
    if (folder.filename() == "host") candidates.push_back(folder.parent_path() / "win32" / "sfx.exe");
    return candidates;
}

fs::path ProgramPath() {
#ifdef _WIN32
    std::wstring name(32768, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
    if (length == 0 || length >= name.size()) return {};
    name.resize(length);
    return fs::path(name);
#else
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    return error ? fs::path() : self;
#endif
}

std::string FindDefaultModule() {
    const fs::path program = ProgramPath();
    if (program.empty()) return "";
    for (const fs::path& candidate : DefaultModuleCandidates(program)) {
        std::error_code error;
        if (fs::is_regular_file(candidate, error)) return Utf8FromPath(candidate);
    }
    return "";
}

}  // namespace mksfx
