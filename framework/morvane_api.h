// Export macros of the model library.
#pragma once

#if defined(_WIN32)
#if defined(MORVANE_BUILDING)
#define MORVANE_API __declspec(dllexport)
#else
#define MORVANE_API __declspec(dllimport)
#endif
#else
#define MORVANE_API __attribute__((visibility("default")))
#endif

// Class templates of the library are declared with MORVANE_API: each instance
// that an explicit instantiation (`template class X<T>;`, without attributes)
// makes is exported with its vtable and its members. Members are defined
// outside the class body, so that the Windows build exports them too.

// An inline member function of an exported class that is exported, with its
// function-local statics, although the build hides inline functions: it is
// emitted wherever it is defined, even where every call is inlined. A
// Windows DLL exports the inline members of an exported class once they are
// emitted.
#if defined(_WIN32)
#define MORVANE_INLINE_EXPORT __attribute__((used))
#else
#define MORVANE_INLINE_EXPORT __attribute__((visibility("default"), used))
#endif

// Exported data and functions with plain (unmangled) names.
#define MORVANE_EXTERN_C extern "C" MORVANE_API
