// The library's own global allocation operators: every object and array the
// library's code creates lives on the host heap and goes back to it. They
// test nothing and add nothing; a refused allocation reaches the caller as
// null (the library is built so that a new-expression tests for it).
//
// On Linux these definitions are kept local to the library by its linker
// version script, so that they serve the library alone, as a Windows DLL's
// operators do; they are not part of the objects the tests link.
#include <cstddef>
#include <new>

#include "framework/frame.h"

void* operator new(std::size_t size) { return morvane::HostNew(size); }
void* operator new[](std::size_t size) { return morvane::HostNew(size); }
void operator delete(void* pointer) noexcept { morvane::HostDelete(pointer); }
void operator delete[](void* pointer) noexcept { morvane::HostDelete(pointer); }
void operator delete(void* pointer, std::size_t) noexcept { morvane::HostDelete(pointer); }
void operator delete[](void* pointer, std::size_t) noexcept { morvane::HostDelete(pointer); }
