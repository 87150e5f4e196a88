#include "app/runtime.h"

#include "paths/text.h"

#include <windows.h>

namespace rt {

FILE* Open(const wchar_t* path) {
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    return file == INVALID_HANDLE_VALUE ? nullptr : static_cast<FILE*>(file);
}

size_t Read(void* buffer, size_t size, size_t count, FILE* file) {
    DWORD got = 0;
    if (size == 0 || !ReadFile(file, buffer, static_cast<DWORD>(size * count), &got, nullptr)) return 0;
    return got / size;
}

// SEEK_SET, SEEK_CUR and SEEK_END are FILE_BEGIN, FILE_CURRENT and FILE_END.
// Positions are kept below 2 GiB, as a long holds them.
int Seek(FILE* file, long offset, int origin) {
    const DWORD position = SetFilePointer(file, offset, nullptr, static_cast<DWORD>(origin));
    return position == INVALID_SET_FILE_POINTER || position > 0x7FFFFFFF ? -1 : 0;
}

long Tell(FILE* file) {
    const DWORD position = SetFilePointer(file, 0, nullptr, FILE_CURRENT);
    return position > 0x7FFFFFFF ? -1 : static_cast<long>(position);
}

int Close(FILE* file) { return CloseHandle(file) ? 0 : EOF; }

void* Allocate(size_t size) { return HeapAlloc(GetProcessHeap(), 0, size); }

void* AllocateZeroed(size_t count, size_t size) {
    if (size != 0 && count > static_cast<size_t>(-1) / size) return nullptr;
    return HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, count * size);
}

void Free(void* block) {
    if (block != nullptr) HeapFree(GetProcessHeap(), 0, block);
}

// The string instructions, so that the compiler cannot turn these loops
// into calls of the functions they implement.  A copy onto a later part of
// the same block runs backwards.
void* CopyBytes(void* to, const void* from, size_t count) {
    if (to <= from || static_cast<const char*>(from) + count <= to) {
        void* d = to;
        asm volatile("rep movsb" : "+D"(d), "+S"(from), "+c"(count) : : "memory");
    } else {
        char* d = static_cast<char*>(to) + count - 1;
        const char* s = static_cast<const char*>(from) + count - 1;
        asm volatile("std; rep movsb; cld" : "+D"(d), "+S"(s), "+c"(count) : : "memory");
    }
    return to;
}

void* FillBytes(void* to, int value, size_t count) {
    void* d = to;
    asm volatile("rep stosb" : "+D"(d), "+c"(count) : "a"(value) : "memory");
    return to;
}

int CompareBytes(const void* a, const void* b, size_t count) {
    const unsigned char* p = static_cast<const unsigned char*>(a);
    const unsigned char* q = static_cast<const unsigned char*>(b);
    for (; count > 0; count--, p++, q++)
        if (*p != *q) return *p - *q;
    return 0;
}

size_t Length(const char* text) {
    const char* end = text;
    while (*end != '\0') end++;
    return static_cast<size_t>(end - text);
}

char* Find(const char* text, int c) {
    for (;; text++) {
        if (*text == static_cast<char>(c)) return const_cast<char*>(text);
        if (*text == '\0') return nullptr;
    }
}

char* FindLast(const char* text, int c) {
    const char* found = nullptr;
    for (;; text++) {
        if (*text == static_cast<char>(c)) found = text;
        if (*text == '\0') return const_cast<char*>(found);
    }
}

int CompareN(const char* a, const char* b, size_t count) {
    for (; count > 0; count--, a++, b++) {
        const int d = static_cast<unsigned char>(*a) - static_cast<unsigned char>(*b);
        if (d != 0 || *a == '\0') return d;
    }
    return 0;
}

char* FindText(const char* text, const char* part) {
    const size_t length = Length(part);
    for (; *text != '\0' || length == 0; text++)
        if (CompareN(text, part, length) == 0) return const_cast<char*>(text);
    return nullptr;
}

size_t Length(const wchar_t* text) {
    const wchar_t* end = text;
    while (*end != L'\0') end++;
    return static_cast<size_t>(end - text);
}

wchar_t* Find(const wchar_t* text, wchar_t c) {
    for (;; text++) {
        if (*text == c) return const_cast<wchar_t*>(text);
        if (*text == L'\0') return nullptr;
    }
}

wchar_t* FindLast(const wchar_t* text, wchar_t c) {
    const wchar_t* found = nullptr;
    for (;; text++) {
        if (*text == c) found = text;
        if (*text == L'\0') return const_cast<wchar_t*>(found);
    }
}

wchar_t* Copy(wchar_t* to, const wchar_t* from) {
    return static_cast<wchar_t*>(CopyBytes(to, from, (Length(from) + 1) * sizeof(wchar_t)));
}

wchar_t* FindAny(const wchar_t* text, const wchar_t* set) {
    for (; *text != L'\0'; text++)
        if (Find(set, *text) != nullptr) return const_cast<wchar_t*>(text);
    return nullptr;
}

wchar_t* FindText(const wchar_t* text, const wchar_t* part) {
    const size_t length = Length(part);
    for (; *text != L'\0' || length == 0; text++)
        if (CompareBytes(text, part, length * sizeof(wchar_t)) == 0) return const_cast<wchar_t*>(text);
    return nullptr;
}

}  // namespace rt
