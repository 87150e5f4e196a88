// Command-line options as data: name, value, help text and which tools take
// them.  The tools' --help texts and the README's option table are made
// from these tables, so that an option is described in one place.
#pragma once

#include <cstddef>
#include <span>
#include <string>

namespace pack {

// The tools an option belongs to (bits of OptionSpec::tools).
enum OptionTool : unsigned {
    kToolLzhtoolAdd = 1u << 0,  // lzhtool a
    kToolMksfx = 1u << 1,
};

struct OptionSpec {
    const char* shortName;  // "-o", or nullptr
    const char* longName;   // "--output", or nullptr
    const char* value;      // placeholder of its value ("FILE"), nullptr for a flag
    unsigned tools;         // OptionTool bits
    const char* key;        // its [package] key in an mksfx package file, or nullptr
    const char* help;       // one paragraph; "{max}" stands for `limit`
    size_t limit = 0;       // a byte limit the help names
};

struct OptionGroup {
    const char* heading;  // "Archive:", or nullptr for none
    std::span<const OptionSpec> options;
};

// The option named `word` ("-o" or "--output"), or nullptr.
const OptionSpec* FindOption(std::span<const OptionSpec> options, const std::string& word);

// The option whose package-file key is `key`, or nullptr.
const OptionSpec* FindOptionKey(std::span<const OptionSpec> options, const std::string& key);

// "-o, --output FILE"
std::string OptionLabel(const OptionSpec& option);

// The help paragraph with its limit filled in.
std::string OptionHelp(const OptionSpec& option);

// The option lines of a --help text: the options of `tool`, group by group
// under their headings, the help wrapped beside the labels to 79 columns.
std::string FormatOptionHelp(std::span<const OptionGroup> groups, unsigned tool);

// A Markdown table of every option: label, the tools, the package-file key
// and the help, one row each.
std::string FormatOptionTable(std::span<const OptionGroup> groups);

}  // namespace pack
