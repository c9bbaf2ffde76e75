// Export macros of the model library.
#pragma once

#if defined(_WIN32)
#  if defined(MORVANE_BUILDING)
#    define MORVANE_API __declspec(dllexport)
#  else
#    define MORVANE_API __declspec(dllimport)
#  endif
#else
#  define MORVANE_API __attribute__((visibility("default")))
#endif

// Class templates of the library are declared with MORVANE_API: each instance
// that an explicit instantiation (`template class X<T>;`, without attributes)
// makes is exported with its vtable and its members. Members are defined
// outside the class body, so that the Windows build exports them too.

// Exported data and functions with plain (unmangled) names.
#define MORVANE_EXTERN_C extern "C" MORVANE_API
