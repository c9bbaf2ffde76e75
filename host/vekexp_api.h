// Export macro of the host layer (vekexp).
#pragma once

#if defined(_WIN32)
#if defined(VEKEXP_BUILDING)
#define VEKEXP_API __declspec(dllexport)
#else
#define VEKEXP_API __declspec(dllimport)
#endif
#else
#define VEKEXP_API __attribute__((visibility("default")))
#endif
