#include "option_spec.h"

#include <algorithm>
#include <vector>

namespace pack {
namespace {

constexpr size_t kLineWidth = 79;
constexpr size_t kIndent = 2;
constexpr size_t kGap = 3;          // between a label and its help
constexpr size_t kMaxColumn = 29;  // a longer label gets a line of its own

// Appends `text` to out, word by word, in lines that start at `column`
// and end by kLineWidth; `at` is the column out's last line has reached.
void AppendWrapped(std::string& out, const std::string& text, size_t column, size_t at) {
    size_t start = 0;
    bool lineEmpty = true;
    while (start < text.size()) {
        size_t end = text.find(' ', start);
        if (end == std::string::npos) end = text.size();
        const size_t length = end - start;
        if (length > 0) {
            if (!lineEmpty && at + 1 + length > kLineWidth) {
                out += '\n';
                out.append(column, ' ');
                at = column;
                lineEmpty = true;
            }
            if (!lineEmpty) {
                out += ' ';
                at++;
            }
            out.append(text, start, length);
            at += length;
            lineEmpty = false;
        }
        start = end + 1;
    }
    out += '\n';
}

std::string EscapePipes(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == '|') out += '\\';
        out += c;
    }
    return out;
}

}  // namespace

const OptionSpec* FindOption(std::span<const OptionSpec> options, const std::string& word) {
    for (const OptionSpec& option : options)
        if ((option.shortName != nullptr && word == option.shortName) ||
            (option.longName != nullptr && word == option.longName))
            return &option;
    return nullptr;
}

const OptionSpec* FindOptionKey(std::span<const OptionSpec> options, const std::string& key) {
    for (const OptionSpec& option : options)
        if (option.key != nullptr && key == option.key) return &option;
    return nullptr;
}

std::string OptionLabel(const OptionSpec& option) {
    std::string label;
    if (option.shortName != nullptr) label = option.shortName;
    if (option.longName != nullptr) {
        if (!label.empty()) label += ", ";
        label += option.longName;
    }
    if (option.value != nullptr) {
        label += ' ';
        label += option.value;
    }
    return label;
}

std::string OptionHelp(const OptionSpec& option) {
    std::string help = option.help;
    const size_t at = help.find("{max}");
    if (at != std::string::npos) help.replace(at, 5, std::to_string(option.limit));
    return help;
}

std::string FormatOptionHelp(std::span<const OptionGroup> groups, unsigned tool) {
    size_t column = 0;
    for (const OptionGroup& group : groups)
        for (const OptionSpec& option : group.options)
            if (option.tools & tool) column = std::max(column, kIndent + OptionLabel(option).size() + kGap);
    column = std::min(column, kMaxColumn);

    std::string out;
    for (const OptionGroup& group : groups) {
        std::vector<const OptionSpec*> shown;
        for (const OptionSpec& option : group.options)
            if (option.tools & tool) shown.push_back(&option);
        if (shown.empty()) continue;
        if (!out.empty()) out += '\n';
        if (group.heading != nullptr) out += std::string(group.heading) + "\n";
        for (const OptionSpec* option : shown) {
            const std::string label = std::string(kIndent, ' ') + OptionLabel(*option);
            out += label;
            if (label.size() + kGap > column) {
                out += '\n';
                out.append(column, ' ');
            } else {
                out.append(column - label.size(), ' ');
            }
            AppendWrapped(out, OptionHelp(*option), column, column);
        }
    }
    return out;
}

std::string FormatOptionTable(std::span<const OptionGroup> groups) {
    std::string out =
        "| Option | Taken by | Package file | What it does |\n"
        "|---|---|---|---|\n";
    for (const OptionGroup& group : groups) {
        for (const OptionSpec& option : group.options) {
            std::string tools;
            if (option.tools & kToolLzhtoolAdd) tools = "`lzhtool a`";
            if (option.tools & kToolMksfx) tools += tools.empty() ? "`mksfx`" : ", `mksfx`";
            out += "| `";
            out += EscapePipes(OptionLabel(option));
            out += "` | " + tools + " | ";
            if (option.key != nullptr) out += std::string(1, '`') + option.key + '`';
            out += " | " + EscapePipes(OptionHelp(option)) + " |\n";
        }
    }
    return out;
}

}  // namespace pack
