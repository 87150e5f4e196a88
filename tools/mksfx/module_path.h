// The module mksfx uses when --module is not given.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace mksfx {

// Where to look, in order: sfx.exe beside the program; and for a program
// in a build folder named "host", the Windows build beside it
// (build/host/mksfx takes build/win32/sfx.exe).
std::vector<std::filesystem::path> DefaultModuleCandidates(const std::filesystem::path& program);

// The running program's own file (empty when the system does not say).
std::filesystem::path ProgramPath();

// The first candidate that exists as a file, or empty.
std::string FindDefaultModule();

}  // namespace mksfx
