// Text helpers of the robot: UTF-8 on the outside (command line, scripts,
// transcript), UTF-16 inside (window texts).
#pragma once

#include <string>

std::wstring FromUtf8(const std::string& text);
std::string ToUtf8(const std::wstring& text);

// Whole-text match where '*' stands for any run of characters and '?' for
// one character.
bool GlobMatch(const wchar_t* pattern, const wchar_t* text);

// The text in double quotes, with line breaks and tabs written as \n, \r, \t
// so that one event stays on one line.
std::wstring Quoted(const std::wstring& text);

// Writes one line of the transcript to standard output, as UTF-8.
void PrintLine(const std::wstring& line);
