// Path and text helpers.  Paths are UTF-16, in MAX_PATH (260) unit buffers
// unless said otherwise: a name in any script fits, and a backslash is
// always a separator (in Shift-JIS 0x5C is also the second byte of some
// characters).  The configuration block's texts are in the system code
// page; ToWide converts them.
#pragma once

#include <windows.h>

#include <cstddef>

#include "archive/reporter.h"

// Capacity of the conversion scratch buffers.
constexpr int kWideScratchUnits = 520;

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

// The file name of a loaded module (MAX_PATH units); 0 when it does not
// fit (a name cut short would name another file).
int ModuleFilePath(HMODULE module, wchar_t* path);

// Appends one backslash unless the text is empty or already ends with one.
// Returns 0 (text unchanged) when the backslash does not fit in `size`
// units, else 1.
int AddBackslash(wchar_t* text, size_t size);

// Removes one trailing backslash.
void RemoveBackslash(wchar_t* text);

// Removes trailing ' ' characters (tabs and other blanks stay).
void TrimTrailingSpaces(wchar_t* text);

// Turns every '/' into a backslash.
void SlashesToBackslashes(wchar_t* text);

// Writes the form of a full, canonical path that the file calls take into
// output (units): the path itself while it is shorter than plainLimit, else
// with the prefix \\?\ (\\?\UNC for \\server\share), which lifts the
// MAX_PATH limit and takes the path as it stands.  Returns 0 when it does
// not fit.
int FileCallPath(const wchar_t* path, wchar_t* output, size_t units, size_t plainLimit = kPlainPathLimit);

// Splits path into its folder part, with its trailing backslash, and its
// file-name part.  Either output may be null; each holds MAX_PATH units (a
// name too long for it is cut, a folder part too long is left empty).
void SplitPath(const wchar_t* path, wchar_t* folder, wchar_t* name);

// Copies source into destination (size units), cutting it at the buffer's
// end.  Returns 1 when the whole text fitted, 0 when it was cut.
int CopyText(wchar_t* destination, size_t size, const wchar_t* source);

// destination = first + second when that fits in size units;
// returns 1.  Otherwise destination is left unchanged and the result is 0.
int JoinText(wchar_t* destination, size_t size, const wchar_t* first, const wchar_t* second);

// wsprintfW through wvsprintfW, which writes at most 1,024 units: a smaller
// output takes only a format and arguments known to fit it.
int FormatText(wchar_t* output, const wchar_t* format, ...);

// Formats `format`, which holds one "%s" and no other conversion, with
// `text` into output (size units).  A text too long for the buffer is cut so
// that the result fits.
void FormatWithText(wchar_t* output, size_t size, const wchar_t* format, const wchar_t* text);
