// The few C runtime functions the module calls, over the Win32 API, so that
// it imports no runtime library: a library that is not one of Windows'
// KnownDLLs is looked for in the package's own folder first, where a planted
// copy would run with the package's administrator rights before any of the
// module's code.  runtime_exports.cpp gives them their C names in the module;
// the tests call them here.
#pragma once

#include <cstddef>
#include <cstdio>

namespace rt {

// Files: a FILE* is the file's handle.  The module only reads through them
// (the extraction writes through handles of its own): Open, the module's
// _wfopen, opens an existing file for reading, as others read and write it.
// The module's code calls the C names, which the tests take from the C
// runtime.
FILE* Open(const wchar_t* path);
size_t Read(void* buffer, size_t size, size_t count, FILE* file);
int Seek(FILE* file, long offset, int origin);  // 0, or -1 when it fails
long Tell(FILE* file);                          // -1 when it fails
int Close(FILE* file);                          // 0, or EOF when it fails

// The process heap.
void* Allocate(size_t size);
void* AllocateZeroed(size_t count, size_t size);  // null when count * size overflows
void Free(void* block);

// Memory and texts, as the C functions of the same names.
void* CopyBytes(void* to, const void* from, size_t count);  // memcpy and memmove
void* FillBytes(void* to, int value, size_t count);
int CompareBytes(const void* a, const void* b, size_t count);
size_t Length(const char* text);
char* Find(const char* text, int c);
char* FindLast(const char* text, int c);
int CompareN(const char* a, const char* b, size_t count);
char* FindText(const char* text, const char* part);
size_t Length(const wchar_t* text);
wchar_t* Find(const wchar_t* text, wchar_t c);
wchar_t* FindLast(const wchar_t* text, wchar_t c);
wchar_t* Copy(wchar_t* to, const wchar_t* from);
wchar_t* FindAny(const wchar_t* text, const wchar_t* set);
wchar_t* FindText(const wchar_t* text, const wchar_t* part);

}  // namespace rt
