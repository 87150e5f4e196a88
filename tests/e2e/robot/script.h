// The robot's steps, read from its command line and from script files.
#pragma once

#include <string>
#include <vector>

struct Step {
    std::wstring name;
    std::vector<std::wstring> args;
};

// Number of arguments a step takes, or -1 for an unknown step.
int ArgumentCount(const std::wstring& name);

// Groups words into steps.  Returns false with a message for an unknown
// step or a missing argument.
bool ParseSteps(const std::vector<std::wstring>& words, std::vector<Step>& steps, std::wstring& error);

// Splits a script file (UTF-8) into words: blanks separate them, double
// quotes group them (no escapes, so that paths keep their backslashes), and
// '#' at the start of a word comments out the rest of its line.  Returns
// false with a message when the file cannot be read or a quote is not
// closed on its line.
bool ReadScriptWords(const std::wstring& path, std::vector<std::wstring>& words, std::wstring& error);
