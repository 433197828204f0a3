// Functions of the host's shared library (its own DLL on Windows). They are plain functions, not
// services, because they must work before and after the service model does.
#pragma once

#include <cstddef>
#include <cstdint>

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

// Compares two UTF-8 texts without regard to case: negative, zero or positive like strcmp.
// Letters fold to lower case in the Latin, Greek and Cyrillic alphabets; bytes that are not valid
// UTF-8 compare by their value. Any thread.
extern "C" VELMORA_SHARED_API int stricmp_utf8(const char* a, const char* b);

namespace audio_math {

// Converts `count` signed 16-bit samples to float: each becomes sample / 32768 * scale, so that
// full-scale 16-bit maps to full-scale float at scale 1. Any thread.
VELMORA_SHARED_API void convert_from_int16(const int16_t* source, size_t count, float* target, float scale);

}  // namespace audio_math
