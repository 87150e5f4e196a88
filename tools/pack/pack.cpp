#include "pack.h"

#include <cerrno>
#include <cstdlib>
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

// Days since 1970-01-01 of a proleptic Gregorian date.
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

bool ParseInteger(const std::string& text, int64_t& value) {
    if (text.empty() || text.size() > 18) return false;
    size_t at = text[0] == '-' ? 1 : 0;
    if (at == text.size()) return false;
    int64_t v = 0;
    for (; at < text.size(); at++) {
        if (text[at] < '0' || text[at] > '9') return false;
        v = v * 10 + (text[at] - '0');
    }
    value = text[0] == '-' ? -v : v;
    return true;
}

bool ParseChoice(const char* text, const char* const* choices, int count, int& index) {
    for (int i = 0; i < count; i++) {
        if (std::strcmp(text, choices[i]) == 0) {
            index = i;
            return true;
        }
    }
    return false;
}

}  // namespace

const char kPackOptionsHelp[] =
    "  --method lh0|lh5|lh6|lh7   compression (default lh7; lh0 stores; a file that\n"
    "                             would not shrink is always stored)\n"
    "  --level 0|1|2              header level (default 2)\n"
    "  --best                     smaller and slower: optimal parsing\n"
    "  --codepage 932|1252        code page of the stored names (default 932)\n"
    "  --mtime TIME               time of every entry: seconds since 1970 or\n"
    "                             YYYY-MM-DD[THH:MM[:SS]] (UTC); SOURCE_DATE_EPOCH\n"
    "                             sets later times back to it\n"
    "  -C DIR                     name the inputs from DIR (stored names as given)\n";

bool ParseTime(const std::string& text, int64_t& seconds) {
    if (ParseInteger(text, seconds)) return true;
    unsigned y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    char rest[8] = "";
    const int fields =
        std::sscanf(text.c_str(), "%4u-%2u-%2uT%2u:%2u:%2u%7s", &y, &mo, &d, &h, &mi, &s, rest);
    if (fields < 3 || (fields == 3 && text.size() != 10) || mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 ||
        mi > 59 || s > 59 || (fields == 7 && std::strcmp(rest, "Z") != 0))
        return false;
    if (fields == 4) return false;  // an hour needs its minutes
    seconds = DaysFromCivil(y, mo, d) * 86400 + h * 3600 + mi * 60 + s;
    return true;
}

int ParsePackOption(int argc, const char* const* argv, int& i, PackOptions& options, std::string& error) {
    const std::string option = argv[i];
    if (option == "--best") {
        options.encode.best = true;
        return 1;
    }
    if (option != "--method" && option != "--level" && option != "--codepage" && option != "--mtime" &&
        option != "-C")
        return 0;
    if (i + 1 >= argc) {
        error = option + " needs a value";
        return -1;
    }
    const char* value = argv[++i];
    int index = 0;
    if (option == "--method") {
        static const char* const kMethods[] = {"lh0", "lh5", "lh6", "lh7"};
        static const lzh::MethodCode kCodes[] = {lzh::kLh0, lzh::kLh5, lzh::kLh6, lzh::kLh7};
        if (!ParseChoice(value, kMethods, 4, index)) {
            error = std::string("--method ") + value + ": give lh0, lh5, lh6 or lh7";
            return -1;
        }
        options.encode.method = kCodes[index];
    } else if (option == "--level") {
        static const char* const kLevels[] = {"0", "1", "2"};
        if (!ParseChoice(value, kLevels, 3, index)) {
            error = std::string("--level ") + value + ": give 0, 1 or 2";
            return -1;
        }
        options.encode.headerLevel = index;
    } else if (option == "--codepage") {
        static const char* const kPages[] = {"932", "1252"};
        if (!ParseChoice(value, kPages, 2, index)) {
            error = std::string("--codepage ") + value + ": give 932 or 1252";
            return -1;
        }
        options.codePage = index == 0 ? 932 : 1252;
    } else if (option == "-C") {
        const std::string folder = value;
        options.base = std::filesystem::path(std::u8string(folder.begin(), folder.end()));
    } else {
        int64_t seconds = 0;
        if (!ParseTime(value, seconds)) {
            error = std::string("--mtime ") + value + ": give seconds since 1970 or YYYY-MM-DD[THH:MM[:SS]]";
            return -1;
        }
        options.mtime = seconds;
    }
    return 1;
}

bool ReadSourceDateEpoch(PackOptions& options, std::string& error) {
    const char* text = std::getenv("SOURCE_DATE_EPOCH");
    if (text == nullptr || *text == '\0') return true;
    int64_t seconds = 0;
    if (!ParseInteger(text, seconds) || seconds < 0) {
        error = std::string("SOURCE_DATE_EPOCH=") + text + ": not a number of seconds";
        return false;
    }
    options.latest = seconds;
    return true;
}

bool PlanArchive(const std::vector<std::string>& inputs, const PackOptions& options,
                 const std::filesystem::path& output, ArchivePlan& plan, std::string& error,
                 const std::filesystem::path& folder) {
    std::vector<InputFile> files;
    for (const std::string& input : inputs)
        if (!CollectInputs(input, files, error, folder.empty() ? options.base : folder)) return false;

    std::error_code ec;
    const bool outputExists = !output.empty() && std::filesystem::exists(output, ec);
    std::map<std::string, std::string> byUpperName;  // names differing only in case collide on Windows
    plan.entries.clear();
    for (InputFile& file : files) {
        if (outputExists && !file.folder && std::filesystem::equivalent(file.source, output, ec)) continue;
        if (!CheckName(file.name, error)) return false;
        const auto [it, added] = byUpperName.emplace(Upper(file.name), file.name);
        if (!added) {
            error = file.name + (it->second == file.name ? ": given twice"
                                                         : ": differs from " + it->second + " only in case");
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
