// mksfx: packs files and folders (or takes an LHA archive) into a
// self-extracting package behind the module.  See --help.
#include "cli.h"

#ifdef _WIN32
#include <windows.h>

#include <string>
#include <vector>

// The command line in UTF-8, whatever the system's ANSI code page: texts
// and file names arrive as the packager typed them.
int main() {
    int argc = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (wide == nullptr) return 2;
    std::vector<std::string> words;
    for (int i = 0; i < argc; i++) {
        const int length = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        std::string word(length > 0 ? static_cast<size_t>(length) : 1, '\0');
        WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, word.data(), length, nullptr, nullptr);
        word.resize(word.size() - 1);
        words.push_back(word);
    }
    LocalFree(wide);
    std::vector<const char*> argv;
    for (const std::string& word : words) argv.push_back(word.c_str());
    return mksfx::RunMksfx(argc, argv.data(), stdout, stderr);
}
#else
int main(int argc, char** argv) { return mksfx::RunMksfx(argc, argv, stdout, stderr); }
#endif
