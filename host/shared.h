// Functions of the host's shared library (its own DLL on Windows). They are plain functions, not
// services, because they must work before and after the service model does.
#pragma once

#if defined(_WIN32) && defined(VELMORA_SHARED_EXPORTS)
#define VELMORA_SHARED_API __declspec(dllexport)
#elif defined(_WIN32)
#define VELMORA_SHARED_API __declspec(dllimport)
#else
#define VELMORA_SHARED_API
#endif

// Fatal stop for a programming error that ordinary input cannot reach: reports `what` and ends
// the process. Never returns; any thread.
extern "C" [[noreturn]] VELMORA_SHARED_API void uBugCheck(const char* what);
