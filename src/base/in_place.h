// Zero-initialised storage for one object that is made at run time.
//
// A global object with virtual functions is initialised data (its table
// pointer), which costs the module a section of file space of its own.  In
// this storage it lies in .bss until Make() constructs it in place.
#pragma once

#include <new>

template <typename T>
class InPlace {
public:
    // Constructs a fresh object over whatever was there (the types kept so
    // have trivial destructors) and returns it.
    T& Make() { return *new (bytes_) T; }

    T& operator*() { return *std::launder(reinterpret_cast<T*>(bytes_)); }
    T* operator->() { return &**this; }

private:
    alignas(T) unsigned char bytes_[sizeof(T)];
};
