// Path and text helpers that are safe for double-byte code pages such as
// Shift-JIS, where 0x5C (backslash) also occurs as the second byte of a
// character.  Separator tests work on a UTF-16 copy of the text or walk it
// character by character.  Paths are held in MAX_PATH (260) byte buffers.
#pragma once

#include <windows.h>

#include <cstddef>

#include "archive/reporter.h"

// Capacity of the conversion scratch buffers.
constexpr int kWideScratchUnits = 520;
constexpr int kNarrowScratchBytes = MAX_PATH;

// Units of a buffer for a path below the destination: the destination
// (shorter than MAX_PATH), an entry's longest name and the \\?\UNC prefix.
constexpr int kPathUnits = 800;

// Paths from this length on go to the file calls with the \\?\ prefix:
// without it CreateDirectory takes at most MAX_PATH - 12 units.
constexpr size_t kPlainPathLimit = MAX_PATH - 12;

using lzh::LeadBytePredicate;

// IsDBCSLeadByte of the system code page.
bool IsSystemLeadByte(unsigned char c);

// Converts an ANSI text of the system code page to UTF-16 in a process-wide
// scratch buffer, valid until the next call.  A text that does not fit
// converts to the empty text.
wchar_t* ToWide(const char* text);

// Converts a UTF-16 path to the system code page into path (MAX_PATH
// bytes).  A path with characters that the code page lacks (a Japanese name
// on a Western system) converts through its short form, which Windows makes
// of such characters.  Returns 0 when neither converts whole.
int AnsiPathOf(const wchar_t* wide, char* path);

// The file name of a loaded module as AnsiPathOf gives it; 0 when it does
// not fit MAX_PATH (a name cut short would name another file).
int ModuleFilePath(HMODULE module, char* path);

// Converts a UTF-16 text to the system code page in a process-wide scratch
// buffer, valid until the next call.  A text that does not fit converts to
// the empty text.
char* ToNarrow(const wchar_t* text);

// 1 when byte position `position` of text is the second byte of a
// double-byte character.
int IsMidCharacter(const char* text, size_t position, LeadBytePredicate isLeadByte);
int IsMidCharacter(const char* text, size_t position);

// Appends one backslash unless the text is empty or already ends with a
// backslash of its own.  Returns 0 (text unchanged) when the backslash does
// not fit in `size` bytes, else 1.
int AddBackslash(char* text, size_t size, LeadBytePredicate isLeadByte);
int AddBackslash(char* text, size_t size);

// Removes one trailing backslash that is a character of its own.
void RemoveBackslash(char* text);

// Removes trailing ' ' characters (tabs and other blanks stay).
void TrimTrailingSpaces(char* text);
void TrimTrailingSpaces(wchar_t* text);

// Turns every '/' into a backslash.
void SlashesToBackslashes(char* text);

// Writes the form of a full, canonical path that the file calls take into
// output (units): the path itself while it is shorter than plainLimit, else
// with the prefix \\?\ (\\?\UNC for \\server\share), which lifts the
// MAX_PATH limit and takes the path as it stands.  Returns 0 when it does
// not fit.
int FileCallPath(const wchar_t* path, wchar_t* output, size_t units, size_t plainLimit = kPlainPathLimit);

// Splits path into its folder part, with its trailing backslash, and its
// file-name part.  Either output may be null; each holds MAX_PATH bytes.
void SplitPath(const char* path, char* folder, char* name);

// Copies source into destination (size bytes), cutting it at the buffer's
// end.  Returns 1 when the whole text fitted, 0 when it was cut.
int CopyText(char* destination, size_t size, const char* source);

// Copies the first `length` bytes of source (or fewer, up to its NUL) and a
// terminator, cutting at the buffer's end.
void CopyTextPart(char* destination, size_t size, const char* source, size_t length);

int CopyText(wchar_t* destination, size_t size, const wchar_t* source);

// destination = first + second when that fits in size bytes (units);
// returns 1.  Otherwise destination is left unchanged and the result is 0.
int JoinText(char* destination, size_t size, const char* first, const char* second);
int JoinText(wchar_t* destination, size_t size, const wchar_t* first, const wchar_t* second);

// wsprintfW through wvsprintfW: output holds at most 1,024 units.
int FormatText(wchar_t* output, const wchar_t* format, ...);

// Formats `format`, which holds one "%s" and no other conversion, with
// `text` into output (size units).  A text too long for the buffer is cut so
// that the result fits.
void FormatWithText(wchar_t* output, size_t size, const wchar_t* format, const wchar_t* text);
