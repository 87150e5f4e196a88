#include "package_file.h"

#include "file_io.h"

namespace mksfx {
namespace {

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

}  // namespace

bool ParsePackageFile(const std::string& text, const std::string& name, PackageFile& file,
                      std::string& error) {
    file = PackageFile{};
    std::string section;
    size_t start = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    for (int number = 1; start < text.size(); number++) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        line = Trim(line);
        const auto fail = [&](const std::string& why) {
            error = name + ":" + std::to_string(number) + ": " + why;
            return false;
        };
        if (line.empty() || line[0] == ';' || line[0] == '#') continue;
        if (line[0] == '[') {
            if (line.back() != ']') return fail("a section name ends with ']'");
            section = Lower(Trim(line.substr(1, line.size() - 2)));
            if (section != "package" && section != "version" && section != "files")
                return fail("unknown section [" + section + "] (package, version or files)");
            continue;
        }
        if (section.empty()) return fail("a line before the first section ([package], [version] or [files])");
        if (section == "files") {
            file.files.push_back({number, section, line, ""});
            continue;
        }
        const size_t equals = line.find('=');
        if (equals == std::string::npos) return fail("a setting needs '=': " + line);
        std::string value = Trim(line.substr(equals + 1));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        const std::string key = Trim(line.substr(0, equals));
        if (key.empty()) return fail("a setting without a name");
        file.settings.push_back({number, section, section == "package" ? Lower(key) : key, value});
    }
    return true;
}

bool ReadPackageFile(const std::string& path, PackageFile& file, std::string& error) {
    std::string text;
    if (!ReadWholeFile(path, text)) {
        error = path + ": cannot read the package file";
        return false;
    }
    return ParsePackageFile(text, path, file, error);
}

}  // namespace mksfx
