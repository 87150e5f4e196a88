// The 64-bit build of the module's code (package_x64.sh) links no runtime
// library either; its headers call _wfopen through an import pointer,
// which the 32-bit linker makes for the module's own definition and the
// 64-bit one does not.
extern "C" {
struct _iobuf;
_iobuf* _wfopen(const wchar_t* path, const wchar_t* mode);
void* __imp__wfopen = reinterpret_cast<void*>(&_wfopen);
}
