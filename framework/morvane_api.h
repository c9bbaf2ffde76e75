// Export macro of the model library.
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

// Exported data and functions with plain (unmangled) names.
#define MORVANE_EXTERN_C extern "C" MORVANE_API
