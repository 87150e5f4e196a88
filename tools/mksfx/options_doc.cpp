// options_doc: keeps the README's option table the one the tools' option
// tables make (option_table.h), so that the options are described in one
// place.
//
//   options_doc README.md           exit 0 when the table is current, else 1
//                                   and the first line that differs
//   options_doc --write README.md   puts the current table there
//
// The table stands between the lines kBegin and kEnd.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "file_io.h"
#include "option_table.h"

namespace {

constexpr char kBegin[] = "<!-- option table: made by options_doc from the tools' option tables -->\n";
constexpr char kEnd[] = "<!-- end of the option table -->\n";

std::string LineAt(const std::string& text, size_t at) {
    const size_t end = text.find('\n', at);
    return text.substr(at, end == std::string::npos ? std::string::npos : end - at);
}

bool WriteWholeFile(const std::string& path, const std::string& text) {
    FILE* file = mksfx::OpenFile(path, "wb");
    if (file == nullptr) return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    return std::fclose(file) == 0 && written;
}

}  // namespace

int main(int argc, char** argv) {
    const bool write = argc == 3 && std::strcmp(argv[1], "--write") == 0;
    if (argc != 2 && !write) {
        std::fprintf(stderr, "usage: options_doc [--write] README.md\n");
        return 2;
    }
    const std::string path = argv[argc - 1];
    std::string text;
    if (!mksfx::ReadWholeFile(path, text)) {
        std::fprintf(stderr, "options_doc: cannot read %s\n", path.c_str());
        return 2;
    }
    const size_t begin = text.find(kBegin);
    const size_t end = begin == std::string::npos ? begin : text.find(kEnd, begin);
    if (end == std::string::npos) {
        std::fprintf(stderr, "options_doc: %s has no lines %s and %s", path.c_str(), kBegin, kEnd);
        return 2;
    }
    const size_t start = begin + std::strlen(kBegin);
    const std::string current = text.substr(start, end - start);
    const std::string made = pack::FormatOptionTable(mksfx::OptionGroups());
    if (write) {
        if (current == made) return 0;
        text.replace(start, end - start, made);
        if (!WriteWholeFile(path, text)) {
            std::fprintf(stderr, "options_doc: cannot write %s\n", path.c_str());
            return 2;
        }
        std::printf("%s: option table updated\n", path.c_str());
        return 0;
    }
    if (current == made) return 0;
    size_t at = 0;
    while (at < current.size() && at < made.size() && current[at] == made[at]) at++;
    at = current.rfind('\n', at == 0 ? 0 : at - 1);
    at = at == std::string::npos ? 0 : at + 1;
    const size_t line = 1 + static_cast<size_t>(std::count(text.begin(), text.begin() + start + at, '\n'));
    std::fprintf(stderr,
                 "options_doc: %s:%zu: the option table differs from the tools' tables\n"
                 "  file:   %s\n  tables: %s\n"
                 "(options_doc --write %s puts the current table there)\n",
                 path.c_str(), line, LineAt(current, at).c_str(), LineAt(made, at).c_str(), path.c_str());
    return 1;
}
