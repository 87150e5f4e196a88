#include "pack.h"

#include <cerrno>
#include <cstring>
#include <map>
#include <system_error>

#include "codepage.h"

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

std::string Utf8(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
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
    // Names differing only in case collide on Windows.
    std::map<std::string, const InputFile*> byUpperName;
    plan.entries.clear();
    for (InputFile& file : files) {
        if (outputExists && !file.folder && std::filesystem::equivalent(file.source, output, ec)) continue;
        if (!CheckName(file.name, error)) return false;
        const auto [it, added] = byUpperName.emplace(Upper(file.name), &file);
        if (!added) {
            const InputFile& first = *it->second;
            if (first.name != file.name)
                error = file.name + ": differs from " + first.name + " only in case";
            else if (std::filesystem::equivalent(first.source, file.source, ec))
                error = file.name + ": given twice";
            else
                error = file.name + ": two inputs would be stored under this name (" + Utf8(first.source) +
                        " and " + Utf8(file.source) + ")";
            return false;
        }
        PlannedEntry entry{file, ""};
        std::string why;
        if (!ConvertFromUtf8(file.name, options.codePage, entry.storedName, why)) {
            error = file.name + ": " + why;
            return false;
        }
        if (entry.storedName.find('\xFF') != std::string::npos) {
            error =
                file.name + ": U+00FF 'ÿ' cannot be stored: its code 0xFF separates folders in LHA headers";
            return false;
        }
        if (options.mtime) entry.file.modified = *options.mtime;
        if (options.latest && entry.file.modified > *options.latest) entry.file.modified = *options.latest;
        if (!entry.file.folder) entry.file.attributes |= lzh::kAttributeArchive;
        // The header builder says whether the name fits the level.
        lzh::HeaderFields fields{};
        fields.level = options.encode.headerLevel;
        fields.method = "-lh0-";
        fields.name = entry.storedName.c_str();
        fields.folder = entry.file.folder;
        uint8_t header[lzh::kMaxEntryHeaderSize];
        if (lzh::BuildEntryHeader(fields, header) == 0) {
            error = file.name + ": name too long for header level " + std::to_string(fields.level);
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

bool WriteArchive(FILE* file, const ArchivePlan& plan, const PackOptions& options, std::string& error,
                  EntryReport report, void* context) {
    lzh::FileOutput output(file);
    lzh::ArchiveWriter writer(output, options.encode);
    if (writer.CheckOptions() != lzh::EncodeStatus::kOk) {
        error = lzh::EncodeStatusText(writer.CheckOptions());
        return false;
    }
    for (const PlannedEntry& entry : plan.entries) {
        const lzh::EntryInfo info{entry.storedName.c_str(), entry.file.size, entry.file.modified,
                                  entry.file.attributes};
        lzh::EncodeStatus status;
        if (entry.file.folder) {
            status = writer.AddFolder(info);
        } else {
            FILE* input = OpenInput(entry.file.source);
            if (input == nullptr) {
                error = entry.file.name + ": cannot open: " + std::strerror(errno);
                return false;
            }
            lzh::FileInput data(input);
            status = writer.AddFile(info, data);
            std::fclose(input);
        }
        if (status != lzh::EncodeStatus::kOk) {
            error = entry.file.name + ": " + lzh::EncodeStatusText(status);
            return false;
        }
        if (report != nullptr) report(entry, writer.last(), context);
    }
    if (writer.Finish() != lzh::EncodeStatus::kOk || std::fflush(file) != 0) {
        error = "write error";
        return false;
    }
    return true;
}

}  // namespace pack
