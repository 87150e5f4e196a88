#include "pack.h"

#include <cstring>
#include <map>
#include <set>
#include <system_error>

#include "codepage.h"
#include "utf16.h"

namespace pack {
namespace {

// Characters the module refuses in a name (besides the separators).
constexpr char kRefusedCharacters[] = "\\:;*?\"<>|";

const char* const kDeviceNames[] = {"CON",  "PRN",  "AUX",  "NUL",  "COM1", "COM2", "COM3", "COM4",
                                    "COM5", "COM6", "COM7", "COM8", "COM9", "LPT1", "LPT2", "LPT3",
                                    "LPT4", "LPT5", "LPT6", "LPT7", "LPT8", "LPT9"};

std::string Upper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

// What Windows would do to a component, or nullptr when it takes it as it is.
const char* ComponentFault(const std::string& part) {
    for (const char c : part) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return "holds a control character";
        if (std::strchr(kRefusedCharacters, c) != nullptr) return "holds one of \\ : ; * ? \" < > |";
    }
    if (part.back() == ' ' || part.back() == '.') return "ends with a blank or a dot";
    const std::string stem = Upper(part.substr(0, part.find('.')));
    for (const char* device : kDeviceNames)
        if (stem == device) return "is a device name on Windows";
    return nullptr;
}

bool CheckName(const std::string& name, std::string& error) {
    size_t start = 0;
    while (start < name.size()) {
        size_t end = name.find('/', start);
        if (end == std::string::npos) end = name.size();
        const std::string part = name.substr(start, end - start);
        if (const char* fault = ComponentFault(part)) {
            error = name + ": the name \"" + part + "\" " + fault;
            return false;
        }
        start = end + 1;
    }
    return true;
}

bool IsPlainAscii(const std::string& text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

std::string Utf8(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

// Notes a name that readers without the exact names see as `stored`, once
// for a folder and its contents: a name below a changed folder is noted
// only when its own last component changes too.
void NoteChangedName(const InputFile& file, const std::string& stored, int codePage,
                     std::vector<std::string>& notes, std::set<std::string>& changedFolders) {
    const size_t slash = file.name.rfind('/');
    const bool inChangedFolder =
        slash != std::string::npos && changedFolders.count(file.name.substr(0, slash));
    if (file.folder) changedFolders.insert(file.name);
    std::string last, error;
    std::vector<std::string> replaced;
    NameToCodePage(file.name.substr(slash + 1), codePage, last, replaced, error);
    if (inChangedFolder && replaced.empty()) return;
    std::string shown;
    ConvertToUtf8(stored, codePage, shown);
    notes.push_back(file.name + ": readers that know only code page " + std::to_string(codePage) + " see " +
                    shown + (file.folder ? ", and so the names of its contents" : ""));
}

}  // namespace

bool PlanArchive(const std::vector<std::string>& inputs, const PackOptions& options,
                 const std::filesystem::path& output, ArchivePlan& plan, std::string& error,
                 const std::filesystem::path& folder) {
    std::vector<InputFile> files;
    for (const std::string& input : inputs)
        if (!CollectInputs(input, files, error, folder.empty() ? options.base : folder)) return false;

    std::error_code ec;
    const bool outputExists = !output.empty() && std::filesystem::exists(output, ec);
    const int level = options.encode.headerLevel;
    // Names Windows would take for one collide there.
    std::map<std::u16string, const InputFile*> byUpperName;
    std::set<std::string> changedFolders;  // whose code-page names differ
    plan.entries.clear();
    plan.notes.clear();
    for (InputFile& file : files) {
        if (outputExists && !file.folder && std::filesystem::equivalent(file.source, output, ec)) continue;
        if (!CheckName(file.name, error)) return false;
        PlannedEntry entry{file, "", u""};
        if (!Utf8ToUtf16(file.name, entry.exactName)) {
            error = file.name + ": not valid UTF-8";
            return false;
        }
        if (entry.exactName.find(lzh::kWideFolderSeparator) != std::u16string::npos) {
            error = file.name + ": U+FFFF cannot be stored: it separates folders in UTF-16 names";
            return false;
        }
        const auto [it, added] = byUpperName.emplace(UpperCaseAsWindows(entry.exactName), &file);
        if (!added) {
            const InputFile& first = *it->second;
            if (first.name != file.name)
                error = file.name + ": Windows takes it for " + first.name + " (they differ only in case)";
            else if (std::filesystem::equivalent(first.source, file.source, ec))
                error = file.name + ": given twice";
            else
                error = file.name + ": two inputs would be stored under this name (" + Utf8(first.source) +
                        " and " + Utf8(file.source) + ")";
            return false;
        }
        std::vector<std::string> replaced;
        if (!NameToCodePage(file.name, options.codePage, entry.storedName, replaced, error)) {
            error = file.name + ": " + error;
            return false;
        }
        if (!replaced.empty() && level == 0) {
            error = file.name + ": " + replaced.front() + " has no code in code page " +
                    std::to_string(options.codePage) +
                    ", and header level 0 has no room for the exact name (levels 1 and 2 keep it)";
            return false;
        }
        if (!replaced.empty())
            NoteChangedName(file, entry.storedName, options.codePage, plan.notes, changedFolders);
        if (level == 0 || IsPlainAscii(file.name)) entry.exactName.clear();
        if (options.mtime) entry.file.modified = *options.mtime;
        if (options.latest && entry.file.modified > *options.latest) entry.file.modified = *options.latest;
        if (!entry.file.folder) entry.file.attributes |= lzh::kAttributeArchive;
        // The header builder says whether the names fit the level.
        lzh::HeaderFields fields{};
        fields.level = level;
        fields.method = "-lh0-";
        fields.name = entry.storedName.c_str();
        fields.folder = entry.file.folder;
        fields.wideName = entry.exactName.empty() ? nullptr : entry.exactName.c_str();
        fields.codePage = static_cast<uint32_t>(options.codePage);
        uint8_t header[lzh::kMaxEntryHeaderSize];
        if (lzh::BuildEntryHeader(fields, header) == 0) {
            error = file.name + ": name too long for header level " + std::to_string(level);
            return false;
        }
        if (!file.folder && file.size > 0xFFFFFFFFu) {
            error = file.name + ": " + lzh::EncodeStatusText(lzh::EncodeStatus::kTooLarge);
            return false;
        }
        plan.entries.push_back(std::move(entry));
    }
    if (plan.entries.empty()) {
        error = "nothing to pack";
        return false;
    }
    return true;
}

}  // namespace pack
