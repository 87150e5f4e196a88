// What the C++ runtime library would supply, for a module that links only
// CRTDLL.dll.
#include <windows.h>

#include <cstdlib>
#include <new>

void* operator new(size_t size) { return std::malloc(size); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, size_t) noexcept { std::free(block); }

// Reached only through a vtable under construction, which this module never
// calls through; end the process rather than run on.
extern "C" void __cxa_pure_virtual() { ExitProcess(3); }
