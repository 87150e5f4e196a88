// The C and C++ runtime functions the module's code calls, under their own
// names, for a module that links no runtime library (runtime.h says why).
// The compiler also calls memcpy, memset and memmove on its own.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <new>

#include "app/runtime.h"

extern "C" {

// The headers declare it imported from the runtime library; this
// definition is the module's own.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wattributes"
FILE* _wfopen(const wchar_t* path, const wchar_t*) { return rt::Open(path); }
#pragma GCC diagnostic pop
size_t fread(void* buffer, size_t size, size_t count, FILE* file) {
    return rt::Read(buffer, size, count, file);
}
int fseek(FILE* file, long offset, int origin) { return rt::Seek(file, offset, origin); }
long ftell(FILE* file) { return rt::Tell(file); }
int fclose(FILE* file) { return rt::Close(file); }

void* malloc(size_t size) { return rt::Allocate(size); }
void* calloc(size_t count, size_t size) { return rt::AllocateZeroed(count, size); }
void free(void* block) { rt::Free(block); }

void* memcpy(void* to, const void* from, size_t count) { return rt::CopyBytes(to, from, count); }
void* memmove(void* to, const void* from, size_t count) { return rt::CopyBytes(to, from, count); }
void* memset(void* to, int value, size_t count) { return rt::FillBytes(to, value, count); }
int memcmp(const void* a, const void* b, size_t count) { return rt::CompareBytes(a, b, count); }
size_t strlen(const char* text) { return rt::Length(text); }
char* strchr(const char* text, int c) { return rt::Find(text, c); }
char* strrchr(const char* text, int c) { return rt::FindLast(text, c); }
int strncmp(const char* a, const char* b, size_t count) { return rt::CompareN(a, b, count); }
char* strstr(const char* text, const char* part) { return rt::FindText(text, part); }
size_t wcslen(const wchar_t* text) { return rt::Length(text); }
wchar_t* wcschr(const wchar_t* text, wchar_t c) { return rt::Find(text, c); }
wchar_t* wcsrchr(const wchar_t* text, wchar_t c) { return rt::FindLast(text, c); }
wchar_t* wcscpy(wchar_t* to, const wchar_t* from) { return rt::Copy(to, from); }
wchar_t* wcspbrk(const wchar_t* text, const wchar_t* set) { return rt::FindAny(text, set); }
wchar_t* wcsstr(const wchar_t* text, const wchar_t* part) { return rt::FindText(text, part); }

// Reached only through a vtable under construction, which this module never
// calls through; end the process rather than run on.
void __cxa_pure_virtual() { ExitProcess(3); }

}  // extern "C"

void* operator new(size_t size) { return rt::Allocate(size); }
void operator delete(void* block) noexcept { rt::Free(block); }
void operator delete(void* block, size_t) noexcept { rt::Free(block); }
