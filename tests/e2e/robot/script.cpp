#include "script.h"

#include <windows.h>

#include "text.h"

namespace {

struct StepArity {
    const wchar_t* name;
    int argumentCount;
};

constexpr StepArity kSteps[] = {
    {L"timeout", 1}, {L"wait", 1},    {L"gone", 1},  {L"list", 0},  {L"expect", 2},
    {L"settext", 2}, {L"click", 1},   {L"press", 1}, {L"check", 1}, {L"uncheck", 1},
    {L"answer", 2},  {L"on", 2},      {L"idle", 1},  {L"exit", 1},  {L"shot", 1},
    {L"echo", 1},    {L"windows", 0}, {L"key", 2},   {L"close", 0}, {L"until", 2},
};

bool ReadFileBytes(const std::wstring& path, std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    char chunk[4096];
    DWORD got = 0;
    bool ok = true;
    while ((ok = ReadFile(file, chunk, sizeof chunk, &got, nullptr) != 0) && got > 0)
        bytes.append(chunk, got);
    CloseHandle(file);
    return ok;
}

}  // namespace

int ArgumentCount(const std::wstring& name) {
    for (const StepArity& step : kSteps)
        if (name == step.name) return step.argumentCount;
    return -1;
}

bool ParseSteps(const std::vector<std::wstring>& words, std::vector<Step>& steps, std::wstring& error) {
    for (size_t i = 0; i < words.size();) {
        const int count = ArgumentCount(words[i]);
        if (count < 0) {
            error = L"unknown step " + Quoted(words[i]);
            return false;
        }
        if (words.size() - i - 1 < static_cast<size_t>(count)) {
            error = L"step " + words[i] + L" needs " + std::to_wstring(count) + L" argument(s)";
            return false;
        }
        Step step{words[i], {}};
        step.args.assign(words.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                         words.begin() + static_cast<std::ptrdiff_t>(i) + 1 + count);
        steps.push_back(step);
        i += 1 + static_cast<size_t>(count);
    }
    return true;
}

bool ReadScriptWords(const std::wstring& path, std::vector<std::wstring>& words, std::wstring& error) {
    std::string bytes;
    if (!ReadFileBytes(path, bytes)) {
        error = L"cannot read script " + path;
        return false;
    }
    if (bytes.rfind("\xEF\xBB\xBF", 0) == 0) bytes.erase(0, 3);
    const std::wstring text = FromUtf8(bytes);

    for (size_t i = 0; i < text.size();) {
        const wchar_t c = text[i];
        if (c == L' ' || c == L'\t' || c == L'\r' || c == L'\n') {
            i++;
        } else if (c == L'#') {
            while (i < text.size() && text[i] != L'\n') i++;
        } else if (c == L'"') {
            const size_t end = text.find_first_of(L"\"\n", i + 1);
            if (end == std::wstring::npos || text[end] != L'"') {
                error = L"quote not closed in script " + path;
                return false;
            }
            words.push_back(text.substr(i + 1, end - i - 1));
            i = end + 1;
        } else {
            size_t end = i;
            while (end < text.size() && text[end] != L' ' && text[end] != L'\t' && text[end] != L'\r' &&
                   text[end] != L'\n')
                end++;
            words.push_back(text.substr(i, end - i));
            i = end;
        }
    }
    return true;
}
