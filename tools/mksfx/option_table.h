// mksfx's options as data, group by group: its own and the packing options
// it shares with lzhtool a (pack_options.h).  The parser looks options and
// package-file keys up here; --help and the README's option table are made
// from it.
#pragma once

#include <span>
#include <string>

#include "option_spec.h"

namespace mksfx {

std::span<const pack::OptionGroup> OptionGroups();

// The option named `word` ("-o", "--output"), or nullptr.
const pack::OptionSpec* FindOption(const std::string& word);

// The option a [package] key of a package file sets, or nullptr.
const pack::OptionSpec* FindPackageKey(const std::string& key);

// The --help text.
std::string UsageText();

}  // namespace mksfx
